#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace orbisight {

// The longest prefix of text that has at most maxBytes bytes and does not end
// inside a UTF-8 sequence.
size_t Utf8PrefixLength(std::string_view text, size_t maxBytes);

// Copies text into a fixed NUL-terminated field of fieldSize bytes, cutting
// it to fieldSize - 1 bytes on a UTF-8 boundary; the rest of the field is
// zeroed so records compare and store byte for byte.
void CopyTextField(char* field, size_t fieldSize, std::string_view text);

// The text stored in a fixed field: up to the first NUL, never past the field.
std::string_view FieldText(const char* field, size_t fieldSize);

template <size_t N>
void CopyTextField(char (&field)[N], std::string_view text) {
    CopyTextField(field, N, text);
}
template <size_t N>
std::string_view FieldText(const char (&field)[N]) {
    return FieldText(field, N);
}

// ASCII case-insensitive comparison, as the protocols compare names.
bool EqualsNoCase(std::string_view a, std::string_view b);
bool StartsWithNoCase(std::string_view text, std::string_view prefix);
std::string ToLowerAscii(std::string_view text);

// atoi: optional blanks, optional sign, decimal digits; anything else ends
// the number; no digits gives 0. Never overflows (saturates).
int ParseDecimal(std::string_view text);

// Drops leading and trailing blanks (space, tab, CR, LF).
std::string_view Trim(std::string_view text);

}  // namespace orbisight
