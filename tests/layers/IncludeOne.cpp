// Compiles one header, named by the build; see CMakeLists.txt beside it.
#include CHECKED_HEADER

namespace corvanetov {

} // namespace corvanetov
