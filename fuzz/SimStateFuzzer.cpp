// The simulator's state file: the fuzzer's bytes as the file a run starts
// from; what loads is saved as the simulator saves it after an NV write, and
// the saved file must load again to the same state.
#include <cstdint>
#include <string>

#include "FuzzCheck.h"
#include "ScratchFile.h"
#include "sim/SimState.h"

using namespace corvanetov;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const ScratchFile given("state.json");
    static const ScratchFile saved("saved.json");
    static const ScratchFile savedAgain("saved-again.json");
    given.Write(data, size);
    SimState state;
    std::string error;
    if (!state.Load(given.Path(), error))
        return 0;
    FuzzCheck(state.Save(saved.Path(), error), "a loaded state saves");
    SimState again;
    FuzzCheck(again.Load(saved.Path(), error), "a saved state loads");
    FuzzCheck(again.Save(savedAgain.Path(), error), "a reloaded state saves");
    FuzzCheck(saved.ReadBack() == savedAgain.ReadBack(), "a saved state loads to the same state");
    return 0;
}
