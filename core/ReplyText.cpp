#include "core/ReplyText.h"

#include "core/MiscLib.h"

namespace {

bool IsQuote(char C) {
  return C == '"' || C == '\'';
}

// Result codes a modem sends unasked. ModemManager and similar services switch several of
// them on, so they turn up while this program waits for a report.
constexpr const char* UnsolicitedPrefixes[] = {
    "RING",   "+CRING:", "+CLIP:", "+CCWA:", "+CREG:", "+CGREG:", "+CEREG:",
    "+CMTI:", "+CMT:",   "+CBM:",  "+CDS:",  "+CDSI:", "+CUSD:",  "NO CARRIER"};

}  // namespace

bool TryParseHex(const QByteArray& Text, std::int32_t& Value) {
  return TryParseInt(QByteArray(1, '$') + Text, Value);
}

QList<QByteArray> SplitReplyLines(const QByteArray& Reply) {
  QList<QByteArray> Lines;
  qsizetype End = Reply.indexOf('\0');
  if (End < 0) End = Reply.size();

  qsizetype Pos = 0;
  while (Pos < End) {
    while (Pos < End && (Reply[Pos] == '\r' || Reply[Pos] == '\n')) ++Pos;
    if (Pos >= End) break;

    const qsizetype Start = Pos;
    char OpenQuote = 0;
    for (; Pos < End; ++Pos) {
      const char C = Reply[Pos];
      if (OpenQuote != 0) {
        if (C == OpenQuote) OpenQuote = 0;
        continue;
      }
      if (C == '\r' || C == '\n') break;
      if (IsQuote(C)) OpenQuote = C;
    }
    if (Pos > Start) {
      QByteArray Line = Reply.mid(Start, Pos - Start);
      if (!IsUnsolicitedResultCode(Line)) Lines.append(std::move(Line));
    }
    ++Pos;  // the character that ended the line
  }
  return Lines;
}

bool IsUnsolicitedResultCode(const QByteArray& Line) {
  for (const char* Prefix : UnsolicitedPrefixes)
    if (Line.startsWith(Prefix)) return true;
  return false;
}

QByteArray TrimBlanks(const QByteArray& Text) {
  qsizetype First = 0;
  qsizetype Last = Text.size();
  while (First < Last && static_cast<unsigned char>(Text[First]) <= 32) ++First;
  while (Last > First && static_cast<unsigned char>(Text[Last - 1]) <= 32) --Last;
  return Text.mid(First, Last - First);
}

QByteArray CutColumns(const QByteArray& Line, int FirstColumn, int LastColumn) {
  if (FirstColumn < 1) FirstColumn = 1;
  if (LastColumn < FirstColumn || FirstColumn > Line.size()) return {};
  const qsizetype Start = FirstColumn - 1;
  const qsizetype Length = qsizetype(LastColumn) - FirstColumn + 1;
  return Line.mid(Start, Length);
}

QList<QByteArray> SplitIdentityFields(const QByteArray& Text) {
  QList<QByteArray> Fields;
  const qsizetype Size = Text.size();
  qsizetype Start = 0;
  char OpenQuote = 0;
  for (qsizetype Pos = 0; Pos < Size; ++Pos) {
    const char C = Text[Pos];
    if (OpenQuote != 0) {
      if (C == OpenQuote) OpenQuote = 0;
      continue;
    }
    if (C == ',') {
      if (Pos > Start) Fields.append(Text.mid(Start, Pos - Start));
      Start = Pos + 1;
    } else if (IsQuote(C)) {
      OpenQuote = C;
    }
  }
  if (Size > Start) Fields.append(Text.mid(Start, Size - Start));
  return Fields;
}

QString ScreenText(const QString& Text) {
  QString Out;
  Out.reserve(Text.size());
  for (const QChar C : Text) {
    const char16_t U = C.unicode();
    const bool Control = U < 0x20 || (U >= 0x7F && U <= 0x9F);
    if (!Control || U == u'\n') Out.append(C);
  }
  return Out;
}

QString PlainModemText(const QByteArray& Text) {
  QString Plain = ScreenText(QString::fromLatin1(Text));
  Plain.remove(QLatin1Char('\n'));
  return Plain;
}
