#pragma once

// Independent readings of the modem's text, written differently from the program's own code
// so the fuzz targets can compare the two on every input.

#include <QByteArray>
#include <QList>
#include <charconv>
#include <cstdint>
#include <optional>
#include <string_view>

#include "FuzzCheck.h"

namespace ref {

inline std::string_view View(const QByteArray& Bytes) {
  return {Bytes.constData(), static_cast<std::size_t>(Bytes.size())};
}

// Leading blanks, a sign, then decimal digits or hexadecimal ones after "$", "x", "X", "0x",
// "0X"; decimal within 32 signed bits, hexadecimal up to 8 significant digits as a pattern.
inline std::optional<std::int32_t> ParseInt(std::string_view S) {
  const std::size_t First = S.find_first_not_of(' ');
  if (First == std::string_view::npos) return std::nullopt;
  S.remove_prefix(First);
  bool Negative = false;
  if (S.front() == '+' || S.front() == '-') {
    Negative = S.front() == '-';
    S.remove_prefix(1);
  }
  bool Hex = false;
  if (S.starts_with("0x") || S.starts_with("0X")) {
    Hex = true;
    S.remove_prefix(2);
  } else if (!S.empty() && (S.front() == '$' || S.front() == 'x' || S.front() == 'X')) {
    Hex = true;
    S.remove_prefix(1);
  }
  if (S.empty()) return std::nullopt;
  const std::string_view Digits = Hex ? "0123456789abcdefABCDEF" : "0123456789";
  if (S.find_first_not_of(Digits) != std::string_view::npos) return std::nullopt;
  const std::size_t Significant = S.find_first_not_of('0');
  if (Significant == std::string_view::npos) return 0;
  S.remove_prefix(Significant);
  if (S.size() > (Hex ? 8u : 10u)) return std::nullopt;
  std::uint64_t Magnitude = 0;
  const auto Result = std::from_chars(S.data(), S.data() + S.size(), Magnitude, Hex ? 16 : 10);
  FUZZ_CHECK(Result.ec == std::errc() && Result.ptr == S.data() + S.size());
  if (Hex) {
    auto Pattern = static_cast<std::uint32_t>(Magnitude);
    if (Negative) Pattern = ~Pattern + 1u;
    return static_cast<std::int32_t>(Pattern);
  }
  if (Magnitude > (Negative ? 2147483648ull : 2147483647ull)) return std::nullopt;
  const auto Signed =
      Negative ? -static_cast<std::int64_t>(Magnitude) : static_cast<std::int64_t>(Magnitude);
  return static_cast<std::int32_t>(Signed);
}

inline std::optional<std::int32_t> ParseInt(const QByteArray& Text) {
  return ParseInt(View(Text));
}

// Hexadecimal digits only, no blank, sign or prefix.
inline std::optional<std::int32_t> ParseHex(const QByteArray& Text) {
  const std::string_view S = View(Text);
  if (S.empty() || S.find_first_not_of("0123456789abcdefABCDEF") != std::string_view::npos)
    return std::nullopt;
  return ParseInt("$" + Text);
}

inline QByteArray Trim(const QByteArray& Text) {
  qsizetype First = 0;
  qsizetype End = Text.size();
  auto Blank = [](char C) { return static_cast<unsigned char>(C) <= ' '; };
  while (First < End && Blank(Text.at(First))) ++First;
  while (End > First && Blank(Text.at(End - 1))) --End;
  return Text.sliced(First, End - First);
}

// Columns First..Last counted from 1, cut to what the line holds.
inline QByteArray Columns(const QByteArray& Line, qsizetype First, qsizetype Last) {
  if (First > Line.size()) return {};
  return Line.sliced(First - 1, std::min(Last, Line.size()) - First + 1);
}

inline bool IsLineBreak(char C) {
  return C == '\r' || C == '\n';
}

inline bool IsQuote(char C) {
  return C == '"' || C == '\'';
}

// Whether a line is a result code the modem sent on its own; such lines are no part of a reply.
inline bool IsUnsolicited(const QByteArray& Line) {
  static const std::string_view Codes[] = {
      "RING",   "+CRING:", "+CLIP:", "+CCWA:", "+CREG:", "+CGREG:", "+CEREG:",
      "+CMTI:", "+CMT:",   "+CBM:",  "+CDS:",  "+CDSI:", "+CUSD:",  "NO CARRIER"};
  const std::string_view L = View(Line);
  for (const std::string_view Code : Codes)
    if (L.substr(0, Code.size()) == Code) return true;
  return false;
}

// The lines of Reply are exactly the non-empty stretches between line breaks (up to the first
// NUL), where a break inside an open quote does not count, leaving out unsolicited codes.
inline void CheckReplyLines(const QByteArray& Reply, const QList<QByteArray>& Lines) {
  qsizetype End = Reply.indexOf('\0');
  if (End < 0) End = Reply.size();
  FUZZ_CHECK(Lines.size() <= (End + 1) / 2);
  qsizetype Pos = 0;
  qsizetype Next = 0;  // the next line of Lines still to be met
  while (Pos < End) {
    while (Pos < End && IsLineBreak(Reply.at(Pos))) ++Pos;
    if (Pos >= End) break;
    // A stretch runs to an unquoted break; one with a quote still open runs to the end.
    const qsizetype Start = Pos;
    char Open = 0;
    while (Pos < End && (Open != 0 || !IsLineBreak(Reply.at(Pos)))) {
      const char C = Reply.at(Pos);
      if (Open != 0 && C == Open)
        Open = 0;
      else if (Open == 0 && IsQuote(C))
        Open = C;
      ++Pos;
    }
    const QByteArray Stretch = Reply.sliced(Start, Pos - Start);
    FUZZ_CHECK(!Stretch.isEmpty());
    if (IsUnsolicited(Stretch)) continue;
    FUZZ_CHECK(Next < Lines.size());
    FUZZ_CHECK(Lines.at(Next) == Stretch);
    ++Next;
  }
  FUZZ_CHECK(Next == Lines.size());
  for (const QByteArray& Line : Lines) FUZZ_CHECK(!IsUnsolicited(Line));
}

// The fields of Text are exactly its non-empty stretches between commas, where a comma inside
// an open quote does not count.
inline void CheckIdentityFields(const QByteArray& Text, const QList<QByteArray>& Fields) {
  FUZZ_CHECK(Fields.size() <= (Text.size() + 1) / 2);
  qsizetype Pos = 0;
  for (const QByteArray& Field : Fields) {
    while (Pos < Text.size() && Text.at(Pos) == ',') ++Pos;
    FUZZ_CHECK(!Field.isEmpty());
    FUZZ_CHECK(Pos + Field.size() <= Text.size());
    FUZZ_CHECK(Text.sliced(Pos, Field.size()) == Field);
    char Open = 0;
    for (char C : Field) {
      if (Open != 0) {
        if (C == Open) Open = 0;
      } else {
        FUZZ_CHECK(C != ',');
        if (IsQuote(C)) Open = C;
      }
    }
    Pos += Field.size();
    if (Open != 0)
      FUZZ_CHECK(Pos == Text.size());
    else
      FUZZ_CHECK(Pos == Text.size() || Text.at(Pos) == ',');
    ++Pos;
  }
  while (Pos < Text.size() && Text.at(Pos) == ',') ++Pos;
  FUZZ_CHECK(Pos >= Text.size());
}

}  // namespace ref
