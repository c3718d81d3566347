#pragma once
// Numbers read from outside text (settings, sentences, typed values) with the C library's
// forgiving rules: text that is not a number gives 0.

#include <cstdint>
#include <string>
#include <string_view>

namespace vexar {

/// The C library's atoi: leading blanks, sign, digits; 0 when there is no number. Saturates
/// instead of overflowing.
int ParseInt(std::string_view text);
/// The C library's atof: the leading number, 0 when there is none.
double ParseDouble(std::string_view text);

/// "ADDR" or "ADDR:PORT" with a port of 1..65535 in decimal digits; `port` is left as it is when
/// the text names none. False (and nothing changed) when the address is empty or the port is not
/// a port.
bool ParseHostAndPort(std::string_view text, std::string& host, std::uint16_t& port);

} // namespace vexar
