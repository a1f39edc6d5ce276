#pragma once
// Lower case for text of any script, as the platform's lower-case function
// turns it: each capital letter to its small letter (one character for
// one; Unicode's simple case mapping).

#include <string>
#include <string_view>

namespace tavelo {

char32_t LowerCaseOf(char32_t c);
// UTF-8 in, UTF-8 out; bytes that are not UTF-8 are kept as they are.
std::string Utf8ToLower(std::string_view text);

}  // namespace tavelo
