// The two number readers on arbitrary text, against an independent reading and a few
// relations between inputs that must hold whatever the text is.

#include <QByteArray>
#include <cstddef>
#include <cstdint>

#include "FuzzCheck.h"
#include "Reference.h"
#include "core/MiscLib.h"
#include "core/ReplyText.h"

namespace {

constexpr std::int32_t Untouched = 0x5A5A5A5A;

// The result and whether Value was left alone on failure.
std::optional<std::int32_t> ReadInt(const QByteArray& Text) {
  std::int32_t Value = Untouched;
  if (TryParseInt(Text, Value)) return Value;
  FUZZ_CHECK(Value == Untouched);
  return std::nullopt;
}

std::optional<std::int32_t> ReadHex(const QByteArray& Text) {
  std::int32_t Value = Untouched;
  if (TryParseHex(Text, Value)) return Value;
  FUZZ_CHECK(Value == Untouched);
  return std::nullopt;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
  const QByteArray Text(reinterpret_cast<const char*>(Data), static_cast<qsizetype>(Size));

  const auto Int = ReadInt(Text);
  FUZZ_CHECK(Int == ref::ParseInt(Text));
  // Leading blanks never matter, and nothing may follow the digits.
  FUZZ_CHECK(ReadInt(' ' + Text) == Int);
  FUZZ_CHECK(!ReadInt(Text + ' '));
  if (Int) {
    // Every value read back from its plain decimal text.
    FUZZ_CHECK(ReadInt(QByteArray::number(*Int)) == Int);
    FUZZ_CHECK(ReadInt("0x" + QByteArray::number(static_cast<std::uint32_t>(*Int), 16)) == Int);
  }

  const auto Hex = ReadHex(Text);
  FUZZ_CHECK(Hex == ref::ParseHex(Text));
  FUZZ_CHECK(Hex == ReadInt('$' + Text) || !Hex);
  if (Hex) {
    // Digits only: the same text with the other prefixes reads the same pattern.
    FUZZ_CHECK(ReadInt("0X" + Text) == Hex);
    FUZZ_CHECK(ReadInt('x' + Text) == Hex);
    FUZZ_CHECK(!ReadHex(' ' + Text) && !ReadHex('+' + Text));
    FUZZ_CHECK(ReadHex(QByteArray::number(static_cast<std::uint32_t>(*Hex), 16)) == Hex);
  }
  return 0;
}
