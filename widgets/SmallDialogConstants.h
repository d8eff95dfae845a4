#pragma once

// Numbers and texts of the MSL code, font address and About dialogs.
namespace SmallDialogConstants {

constexpr int kMslCodeLength = 6;
constexpr int kStartAddressMaxLength = 8;
constexpr const char* kDefaultStartAddress = "2E00000";
// The caller prefixes the address text to read it as hexadecimal.
constexpr const char* kStartAddressPrefix = "0X";

// About box: the information label's style (colour 0x00BBGGRR).
constexpr int kAboutFontSize = 14;
constexpr unsigned kAboutTextColor = 0x500000;

// The About box's identification lines: string table id, then the text that
// precedes its string.
struct AboutLine {
    int stringId;
    const char* label;
};
constexpr AboutLine kAboutLines[] = {
    {100, "Model    : "},
    {101, "Carrier  : "},
    {102, "HS Type     : "},
    {103, "Version  : "},
    {104, "Modified : "},
};

// Bitmap resources in the artwork.
constexpr const char* kAboutPicturePath = ":/corvanetov/bitmap1025.png";
constexpr const char* kLogoPicturePath = ":/corvanetov/bitmap1050.png";

} // namespace SmallDialogConstants
