#pragma once

#include <QDialog>
#include <QString>
#include <cstdint>
#include <functional>
#include <optional>

#include "serial/platform/PortResolver.h"

class QComboBox;
class QLabel;
class QPushButton;
class QShowEvent;
class QTabWidget;
class QWidget;
class TSerialPortDriver;
struct TModemManagerNote;

// The rates the dialog accepts: the standard range plus the two slow rates
// below 110 that some equipment still uses.
bool IsAcceptedBaudRate(std::uint32_t Rate);
// The rate text as typed: a decimal integer taken as unsigned 32 bits, or
// nothing when the text is not an integer.
std::optional<std::uint32_t> ParseBaudRateText(const QString& Text);

// Edits the line settings of one driver; writes them back only on a valid "Ok".
class TSerialSettingsForm : public QDialog {
  Q_OBJECT
 public:
  TSerialSettingsForm(QWidget* Owner, TSerialPortDriver* Driver);

  void LoadSettings();
  void OkButtonClick();

  // What the program learnt of the modem on the chosen port when it was last online (how it
  // reads its cells, say). Shown below the port details while that port stays chosen; empty
  // hides it.
  void ShowModemNote(const QString& Text);

  // How validation messages reach the user; tests replace it so that no modal
  // box waits for a person.
  std::function<void(const QString& Text, const QString& Title)> ShowError;

  // How long the dialog waits for ModemManager's answer about the chosen port; the dialog
  // works meanwhile and shows the note when the answer comes.
  static constexpr int LookUpTimeoutMs = 2000;
  // True while that answer is still awaited.
  bool ModemManagerPending() const { return FLookUpPending; }

 protected:
  // Centred on the desktop rather than over the owner, as a settings box of its own.
  void showEvent(QShowEvent* Event) override;

 private:
  void ShowPortInfo();
  void ShowPortDetails();
  void ShowModemManagerNote(const TModemManagerNote& Note);
  // Places the notes below the port details, each only when it has text, and fits the dialog.
  void LayoutNotes();

  TSerialPortDriver* FDriver;
  QTabWidget* SettingsPageControl = nullptr;
  QComboBox* PortComboBox = nullptr;
  QComboBox* BaudRateComboBox = nullptr;
  QComboBox* DataBitsComboBox = nullptr;
  QComboBox* ParityComboBox = nullptr;
  QComboBox* StopBitsComboBox = nullptr;
  QComboBox* HwFlowComboBox = nullptr;
  QComboBox* SwFlowComboBox = nullptr;
  QComboBox* DTRControlComboBox = nullptr;
  QComboBox* DevCheckComboBox = nullptr;
  QLabel* PortInfoLabel = nullptr;
  QLabel* ModemManagerLabel = nullptr;
  QLabel* ModemNoteLabel = nullptr;
  QString FModemNote;
  TPortResolution FPort;      // what the chosen name means now
  QString FPortKind;          // that device's kind of port, as ModemManager lists it
  std::uint64_t FLookUp = 0;  // counts the look-ups asked for
  bool FLookUpPending = false;
  int FModemNotePort = -1;
  QPushButton* OkButton = nullptr;
  QPushButton* CancelButton = nullptr;
};
