// The quoted form of a string in error messages: between double quotes, with
// \" \\ \t \r \n \0 escaped and other non-printable characters as \u{hex}.
#pragma once

#include <string>
#include <string_view>

namespace textloom::py {

std::string quoted(std::u32string_view text);

}  // namespace textloom::py
