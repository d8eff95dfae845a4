# Builds the package with cpack, unpacks it into WORK/root with dpkg-deb and
# runs the installed programs from there. Fails on the first thing amiss.
file(REMOVE_RECURSE ${WORK})
execute_process(COMMAND ${CPACK} --config ${BUILD_DIR}/CPackConfig.cmake -B ${WORK}/out
                WORKING_DIRECTORY ${BUILD_DIR} RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "cpack failed (${result}):\n${output}")
endif()
file(GLOB debs ${WORK}/out/*.deb)
list(LENGTH debs count)
if(NOT count EQUAL 1)
  message(FATAL_ERROR "expected one package in ${WORK}/out, found: ${debs}")
endif()

# run(OUT COMMAND...): the command's standard output; its failure fails the test.
function(run out)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE error)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "${ARGN}: exit ${result}\n${output}${error}")
  endif()
  set(${out} "${output}" PARENT_SCOPE)
endfunction()

function(expect_match text pattern what)
  if(NOT text MATCHES "${pattern}")
    message(FATAL_ERROR "${what}: \"${text}\" does not match \"${pattern}\"")
  endif()
endfunction()

# The control fields: the dependencies come from the libraries linked.
run(name ${DPKG_DEB} --field ${debs} Package)
expect_match("${name}" "^${PACKAGE}\n$" "Package")
run(version ${DPKG_DEB} --field ${debs} Version)
expect_match("${version}" "^${VERSION}\n$" "Version")
run(depends ${DPKG_DEB} --field ${debs} Depends)
expect_match("${depends}" "libc6 \\(>= [0-9.]+\\)" "Depends")
expect_match("${depends}" "libqt6widgets6 \\(>= [0-9.]+\\)" "Depends")

set(root ${WORK}/root)
run(ignored ${DPKG_DEB} -x ${debs} ${root})
set(plugin ${root}/usr/${PLUGIN_DIR}/${PLUGIN})
foreach(file
    usr/bin/corvanetov usr/bin/corvanetov-cli usr/bin/vqxb410-sim usr/${PLUGIN_DIR}/${PLUGIN}
    usr/lib/udev/rules.d/70-corvanetov.rules
    usr/share/applications/corvanetov.desktop usr/share/icons/hicolor/scalable/apps/corvanetov.svg
    usr/share/man/man1/corvanetov.1.gz usr/share/man/man1/corvanetov-cli.1.gz usr/share/man/man1/vqxb410-sim.1.gz
    usr/share/doc/${PACKAGE}/copyright usr/share/doc/${PACKAGE}/changelog.gz usr/share/doc/${PACKAGE}/README.Debian
    usr/share/corvanetov/samples/B410V01.06.bin usr/share/corvanetov/samples/font.bin
    usr/share/corvanetov/samples/home.prl usr/share/corvanetov/samples/bad.prl
    usr/share/corvanetov/samples/icons.bin usr/share/corvanetov/samples/practice.mmc)
  if(NOT EXISTS ${root}/${file})
    message(FATAL_ERROR "not in the package: /${file}")
  endif()
endforeach()

# Debian's hardening in every program and the plug-in: bound at load with
# read-only relocations, no compiler notes left, and the checked string
# functions in use.
find_program(READELF readelf REQUIRED)
foreach(file usr/bin/corvanetov usr/bin/corvanetov-cli usr/bin/vqxb410-sim usr/${PLUGIN_DIR}/${PLUGIN})
  run(dynamic ${READELF} --dynamic ${root}/${file})
  expect_match("${dynamic}" "BIND_NOW" "${file}: bound at load")
  run(headers ${READELF} --program-headers --wide ${root}/${file})
  expect_match("${headers}" "GNU_RELRO" "${file}: read-only relocations")
  run(sections ${READELF} --section-headers --wide ${root}/${file})
  if(sections MATCHES "\\.comment")
    message(FATAL_ERROR "${file}: still has a .comment section")
  endif()
endforeach()
# A debugging build (the sanitizers' builds) is not optimised, and the
# checked functions need the optimiser: only a release build has them.
if(FORTIFIED)
  run(symbols ${READELF} --dyn-syms --wide ${root}/usr/bin/corvanetov-cli)
  expect_match("${symbols}" "__[a-z]+_chk" "corvanetov-cli: checked string functions")
endif()

# The installed programs, with nothing pointing them elsewhere.
set(bin ${root}/usr/bin)
set(env ${CMAKE_COMMAND} -E env --unset=CORVANETOV_PLUGIN_DIR)
run(text ${env} ${bin}/corvanetov-cli --version)
expect_match("${text}" "^corvanetov-cli ${VERSION}\n$" "corvanetov-cli --version")
run(text ${env} ${bin}/vqxb410-sim --help)
expect_match("${text}" "Usage: vqxb410-sim" "vqxb410-sim --help")
run(text ${env} ${bin}/corvanetov --version)
expect_match("${text}" "^corvanetov ${VERSION}\nPlug-in folder: ${root}/usr/${PLUGIN_DIR}\n$" "corvanetov --version")
run(text ${env} ${bin}/corvanetov --list-plugins)
expect_match("${text}" "^${plugin}: VQX-B410, 3 view\\(s\\)\n$" "corvanetov --list-plugins")
file(REMOVE_RECURSE ${WORK})
