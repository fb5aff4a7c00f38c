#pragma once

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <string>

// The small text pieces every reply of the simulator is made of.
namespace vantrel::sim {

// The final result codes, framed as a modem in verbose mode frames them.
inline const std::string OkReply = "\r\nOK\r\n";
inline const std::string ErrorReply = "\r\nERROR\r\n";

// printf into a string; replies are short, longer output is cut at 255 characters.
template <typename... TArgs>
std::string Fmt(const char* Format, TArgs... Args) {
  char Buffer[256];
  const int Count = std::snprintf(Buffer, sizeof Buffer, Format, Args...);
  return std::string(Buffer,
                     static_cast<std::size_t>(std::clamp(Count, 0, int(sizeof Buffer) - 1)));
}

// One line of a reply, framed by the line ends a modem puts around it.
inline std::string Line(const std::string& Text) {
  return "\r\n" + Text + "\r\n";
}

// Commands are compared in upper case, as a modem takes them.
inline std::string Upper(std::string Text) {
  for (char& C : Text) C = static_cast<char>(std::toupper(static_cast<unsigned char>(C)));
  return Text;
}

}  // namespace vantrel::sim
