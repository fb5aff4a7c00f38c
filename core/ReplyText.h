#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <cstdint>

// Hexadecimal digits only (1 to 8 significant, either case): no blanks, sign or prefix.
// Value is written only on success.
bool TryParseHex(const QByteArray& Text, std::int32_t& Value);

// Cuts a modem reply into its non-empty lines. The first NUL byte ends the text. Carriage
// returns and line feeds end a line, except inside a stretch opened by a single or double
// quote and closed by the same quote; the quotes stay in the line. Blanks are kept.
// Unsolicited result codes are left out: they are not part of any reply.
QList<QByteArray> SplitReplyLines(const QByteArray& Reply);

// A line a modem sends on its own (a call, a registration change, a message), which it may
// slip in just before a reply or between two replies. Recognised by its start only.
bool IsUnsolicitedResultCode(const QByteArray& Line);

// Removes every character with a code up to and including the blank from both ends.
QByteArray TrimBlanks(const QByteArray& Text);

// Columns FirstColumn..LastColumn (counted from 1, inclusive); a cut reaching past the end of
// the line gives the part that exists, possibly nothing.
QByteArray CutColumns(const QByteArray& Line, int FirstColumn, int LastColumn);

// Splits the cell identity report into comma-separated fields. Empty fields are dropped; a
// quote opens a stretch up to the same quote in which commas do not separate.
QList<QByteArray> SplitIdentityFields(const QByteArray& Text);

// Text that came from a modem (or another device) made fit for a screen, a terminal or a
// record: every control character (C0, DEL, C1, so also the escape that starts a terminal
// sequence) is left out, except the line feed, which only the caller's own text carries.
QString ScreenText(const QString& Text);
// A line the modem sent, as one line of plain text: every control character left out, line
// breaks too, so it can stand in a hint, a terminal message or a record field.
QString PlainModemText(const QByteArray& Text);
