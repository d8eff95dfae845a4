#pragma once

#include <initializer_list>

namespace corvanetov {

// The phone information read: connect, identify, and hand the ESN, the
// versions and the phone number to the NV document's phone-information
// texts, reporting on operation message 1524.
class PhoneInfoRead {
public:
    static void Run();

private:
    static void StoreIdentity();
    static void ClearTexts(std::initializer_list<int> texts);
};

} // namespace corvanetov
