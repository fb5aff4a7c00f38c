// The CENG, #MONI, CCED, QENG and CPSI readers on any reply: either no report at all, or a complete view
// whose parts agree with each other.

#include <QByteArray>
#include <QList>
#include <cstddef>
#include <cstdint>

#include "FuzzCheck.h"
#include "ReportChecks.h"
#include "core/ReplyText.h"
#include "core/reports/FamilyReports.h"

namespace {

bool SameRecord(const TCellInfo& A, const TCellInfo& B) {
  return A.Tech == B.Tech && A.Band == B.Band && A.Channel == B.Channel && A.Level == B.Level && A.RxLev == B.RxLev &&
         A.C1 == B.C1 && A.Pwr == B.Pwr && A.Mcc == B.Mcc && A.Mnc == B.Mnc && A.Lac == B.Lac &&
         A.Bsic == B.Bsic && A.CellId == B.CellId;
}

bool Empty(const TCellText& Text) {
  return Text.Text.isEmpty() && Text.Valid;
}

void CheckView(const TFamilyView& View) {
  if (!View.Serving) {
    FUZZ_CHECK(!View.Neighbours && !View.Identities);
    return;
  }
  FUZZ_CHECK(View.Neighbours && View.Identities);
  FUZZ_CHECK(View.Neighbours->size() == 6);
  const TServingCellView& Serving = *View.Serving;
  const bool Gsm = Serving.Cell.Tech == TRadioTech::rtGsm;
  // Bars stand on the GSM scale whatever the technology.
  FUZZ_CHECK(Serving.Bar.Position == GsmScaleLevel(Serving.Cell.Tech, Serving.Cell.Level));
  FUZZ_CHECK(Serving.Bar.Color == LevelColor(Serving.Bar.Position));
  FUZZ_CHECK(Serving.Level.Valid || Serving.Cell.Level == NoLevelOf(Serving.Cell.Tech) ||
             (Serving.Cell.Tech == TRadioTech::rtNone && Serving.Cell.Level == -114));
  FUZZ_CHECK(!Gsm || Serving.Band.Text == BandText(Serving.Cell.Band));
  FUZZ_CHECK(SameRecord((*View.Identities)[0].Cell, Serving.Cell));
  for (std::size_t K = 0; K < 6; ++K) {
    const TNeighbourColumnView& Column = (*View.Neighbours)[K];
    const TIdentityColumnView& Identity = (*View.Identities)[K + 1];
    FUZZ_CHECK(SameRecord(Identity.Cell, Column.Cell));
    if (Empty(Column.Channel)) {
      // An emptied column: nothing shown, nothing kept.
      FUZZ_CHECK(Empty(Column.Band) && Empty(Column.Level));
      FUZZ_CHECK(Empty(Identity.Bsic) && Empty(Identity.CellId));
      FUZZ_CHECK(SameRecord(Column.Cell, TCellInfo{}));
      FUZZ_CHECK(Column.Bar.Position == -114 && Column.Bar.Color == LevelColor(-114));
    } else {
      FUZZ_CHECK(Column.Bar.Position == GsmScaleLevel(Column.Cell.Tech, Column.Cell.Level));
      FUZZ_CHECK(Column.Bar.Color == LevelColor(Column.Bar.Position));
      FUZZ_CHECK(Column.Cell.Tech != TRadioTech::rtGsm ||
                 Column.Band.Text == BandText(Column.Cell.Band));
      // The families that skip unmeasured neighbours fill a column only with a measured level.
      FUZZ_CHECK(Column.Cell.Tech == TRadioTech::rtGsm || Column.Level.Valid);
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
  const QByteArray Reply(reinterpret_cast<const char*>(Data), static_cast<qsizetype>(Size));
  const QList<QByteArray> Lines = SplitReplyLines(Reply);
  static const std::array<TCellInfo, 7> Prev = checks::PreviousCells();
  for (const TReportFamily Family :
       {TReportFamily::rfCeng, TReportFamily::rfMoni, TReportFamily::rfCced,
        TReportFamily::rfQuectel, TReportFamily::rfQuectel2g, TReportFamily::rfCpsiCeng})
    CheckView(ReadFamilyReport(Family, Lines, Prev));
  FUZZ_CHECK(!ReadFamilyReport(TReportFamily::rfMonitor, Lines, Prev).HasReport());
  return 0;
}
