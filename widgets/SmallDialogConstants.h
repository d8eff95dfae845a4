#pragma once

namespace corvanetov {

// Numbers and texts of the MSL code, font address and About dialogs.
namespace SmallDialogConstants {

constexpr int kStartAddressMaxLength = 8;
// The caller prefixes the address text to read it as hexadecimal.
constexpr const char* kStartAddressPrefix = "0X";

// About box: the information label's style (colour 0x00BBGGRR).
constexpr int kAboutFontSize = 14;
constexpr unsigned kAboutTextColor = 0x500000;

// Bitmap resources in the artwork.
constexpr const char* kAboutPicturePath = ":/corvanetov/bitmap1025.png";
constexpr const char* kLogoPicturePath = ":/corvanetov/bitmap1050.png";

} // namespace SmallDialogConstants

} // namespace corvanetov
