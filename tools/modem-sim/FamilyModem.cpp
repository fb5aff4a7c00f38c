#include "FamilyModem.h"

#include "CellModel.h"
#include "QuectelReplies.h"
#include "RadioCells.h"
#include "SimText.h"
#include "SimcomLteReplies.h"

namespace vantrel::sim {

namespace {

// The operator name Telit closes its serving cell line with, for the model's network 262 07.
constexpr std::string_view TelitNetwork = "o2 - de";

// The system mode a SIM7000 names in its AT+CENG? mode line.
std::string_view Sim7000System(const TCellModel& Model, TRat Rat) {
  if (!Model.HasServing()) return "NO SERVICE";
  return Rat == TRat::Lte ? "LTE CAT-M1" : "GSM";
}

// A replay camps on what each recorded cycle camped on, whatever --rat says.
TRat PlayedRat(const TCellModel& Model, TRat Rat) {
  if (!Model.Replaying()) return Rat;
  return Model.RecordedRadio() ? Model.RecordedRadio()->Serving.Rat : TRat::Gsm;
}

}  // namespace

TModemIdentity FamilyIdentity(TSimFamily Family) {
  const std::string Maker = FamilyManufacturer(Family);
  switch (Family) {
    case TSimFamily::Ceng:
      return {Maker, "SIMCOM_SIM800L", "Revision:1418B04SIM800L24"};
    case TSimFamily::Moni:
      return {Maker, "GL865-QUAD", "16.00.153"};
    case TSimFamily::Cced:
      return {Maker, "MULTIBAND  900E  1800", "R7.46.0.201108091115.FXT009"};
    case TSimFamily::Quectel:
      return {Maker, "EC25", "EC25EFAR06A06M4G"};
    case TSimFamily::Quectel2g:
      return {Maker, "M95", "M95FAR02A08"};
    case TSimFamily::Sim7600:
      return {Maker, "SIMCOM_SIM7600E-H", "Revision:LE20B04SIM7600M22"};
    case TSimFamily::Sim7000:
      return {Maker, "SIMCOM_SIM7000E", "Revision:1351B04SIM7000E"};
    case TSimFamily::Monitor:
      break;
  }
  return {"Vantrel Labs", "VX-900 Simulated", "REVISION 01.002"};
}

std::optional<std::string> TFamilyModem::Execute(const std::string& Command, TCellModel& Model,
                                                 TRat Rat) {
  switch (FFamily) {
    case TSimFamily::Ceng:
      if (Command == "AT+CENG=1,1" || Command == "AT+CENG=0") {
        FCengOn = Command == "AT+CENG=1,1";
        return OkReply;
      }
      if (Command == "AT+CENG?") return Report(Model);
      break;
    case TSimFamily::Moni:
      if (Command == "AT#MONI=7" || Command == "AT#MONI=0") {
        FAllCells = Command == "AT#MONI=7";
        return OkReply;
      }
      if (Command == "AT#MONI") return Report(Model);
      break;
    case TSimFamily::Cced:
      // Dump 3 lists the serving cell and the neighbours, dump 1 the serving cell alone.
      if (Command == "AT+CCED=0,3" || Command == "AT+CCED=0,1")
        return Report(Model, Command == "AT+CCED=0,3");
      break;
    case TSimFamily::Quectel:
    case TSimFamily::Quectel2g:
    case TSimFamily::Sim7600:
    case TSimFamily::Sim7000:
      return ExecuteLte(Command, Model, Rat);
    case TSimFamily::Monitor:
      break;
  }
  return std::nullopt;
}

std::string TFamilyModem::Report(TCellModel& Model, bool WithNeighbours) {
  Model.Step();
  TFamilyCells Cells = FamilyCells(Model);
  if (!WithNeighbours) Cells.Neighbours.clear();
  switch (FFamily) {
    case TSimFamily::Ceng: {
      const std::string Prefix = FCeng.BlankAfterColon ? "+CENG: " : "+CENG:";
      // Switched off, the report gives only its mode; searching, it has no cells to list.
      if (!FCengOn) return Line(Prefix + "0,0") + OkReply;
      if (!Model.HasServing()) return Line(Prefix + "1,1") + OkReply;
      return CengReply(Cells, FCeng);
    }
    case TSimFamily::Moni:
      if (!Model.HasServing())
        return FAllCells
                   ? Line("#MONI: Cell BSIC LAC CellId ARFCN Power C1 C2 TA RxQual PLMN") + OkReply
                   : OkReply;
      return FAllCells ? MoniTableReply(Cells, TelitNetwork)
                       : MoniSingleReply(Cells.Serving, TelitNetwork);
    case TSimFamily::Cced:
      return Model.HasServing() ? CcedReply(Cells) : OkReply;
    default:
      break;
  }
  return OkReply;
}

// The modules of the LTE age: Quectel's AT+QENG in its LTE and 2G forms and SIMCom's AT+CPSI?.
// The serving cell report moves the model on; the neighbour report of the same cycle follows it.
std::optional<std::string> TFamilyModem::ExecuteLte(const std::string& Command, TCellModel& Model,
                                                    TRat Rat) {
  const TRadioState State = Model.State();
  if (FFamily == TSimFamily::Quectel) {
    if (Command == "AT+QENG=\"SERVINGCELL\"") {
      Model.Step();
      Rat = PlayedRat(Model, Rat);
      if (!Model.HasServing()) return QengSearchingReply();
      if (Rat == TRat::Gsm) return QengGsmServingReply(FamilyCells(Model).Serving, State);
      return QengRadioServingReply(RadioCells(Model, Rat).Serving, State);
    }
    if (Command == "AT+QENG=\"NEIGHBOURCELL\"") {
      Rat = PlayedRat(Model, Rat);
      if (!Model.HasServing()) return OkReply;
      if (Rat == TRat::Gsm) return QengGsmNeighbourReply(FamilyCells(Model));
      return QengRadioNeighbourReply(RadioCells(Model, Rat));
    }
    return std::nullopt;
  }
  if (FFamily == TSimFamily::Quectel2g) {
    if (Command == "AT+QENG=1,1" || Command == "AT+QENG=0") {
      FCengOn = Command == "AT+QENG=1,1";
      return OkReply;
    }
    if (Command == "AT+QENG?") {
      Model.Step();
      return FCengOn ? Qeng2gReply(FamilyCells(Model), State) : Line("+QENG: 0,0") + OkReply;
    }
    return std::nullopt;
  }
  // SIMCom: the SIM7000 on GSM or without service lists no cells in its AT+CENG? (no capture
  // shows that form), and it has no UMTS.
  const bool Sim7000 = FFamily == TSimFamily::Sim7000;
  Rat = PlayedRat(Model, Rat);
  if (Command == "AT+CPSI?") {
    Model.Step();
    Rat = PlayedRat(Model, Rat);
    if (!Model.HasServing()) return CpsiNoServiceReply();
    if (Rat == TRat::Gsm) return CpsiGsmReply(FamilyCells(Model).Serving);
    const TCpsiStyle Style = Sim7000 ? TCpsiStyle{"LTE CAT-M1", false} : TCpsiStyle{"LTE", true};
    return CpsiRadioReply(RadioCells(Model, Rat).Serving, Style);
  }
  if (!Sim7000) return std::nullopt;
  if (Command == "AT+CENG=1,1" || Command == "AT+CENG=0") {
    FCengOn = Command == "AT+CENG=1,1";
    return OkReply;
  }
  if (Command == "AT+CENG?") {
    const bool Lte = Model.HasServing() && Rat == TRat::Lte;
    const TRadioCells Cells = Lte ? RadioCells(Model, Rat) : TRadioCells{};
    return CengLteReply(Lte ? &Cells : nullptr, FCengOn, Sim7000System(Model, Rat));
  }
  return std::nullopt;
}

}  // namespace vantrel::sim
