#pragma once

#include "conversion/Outcome.h"
#include "images/QtPictureReader.h"
#include "platform/CommonDialog.h"
#include "windows/AppContext.h"
#include "windows/frmhelp.h"

#include <QPixmap>
#include <QPointer>
#include <QWidget>

#include <array>
#include <memory>
#include <optional>
#include <vector>

class QLabel;
class QLineEdit;
class QListWidget;

namespace velmora {

class Button_XP;
class XpFrame;
class ZlibTool;


// The start-up window: holds every choice of the user (four paths, the menu mode) and runs
// Unpack and Pack on them. Closing it ends the program.
class frmMain : public QWidget {
    Q_OBJECT
  public:
    explicit frmMain(const AppContext& context, QWidget* parent = nullptr);
    ~frmMain() override;

    // Shows the window, lets it paint, cuts its frames to their visible pixels and fills
    // the list of menu modes. Call once, right after construction.
    void Form_Load();

    // The controls, by their names in the window.
    QLineEdit& txt(int index) const { return *txt_.at(static_cast<std::size_t>(index)); }
    QLineEdit& Text1() const { return *Text1_; }
    QListWidget& List1() const { return *List1_; }
    QLabel& Label1() const { return *Label1_; }
    QLabel& Label2() const { return *Label2_; }
    Button_XP& btnAF() const { return *btnAF_; }
    Button_XP& btnBF() const { return *btnBF_; }
    Button_XP& btnCF() const { return *btnCF_; }
    Button_XP& btnDF() const { return *btnDF_; }
    Button_XP& cmdWypakuj() const { return *cmdWypakuj_; }
    Button_XP& cmdSpakuj() const { return *cmdSpakuj_; }
    Button_XP& cmdTuto() const { return *cmdTuto_; }
    CommonDialog& CD() { return CD_; }
    // The frame with this caption, or null.
    XpFrame* frame(const QString& caption) const;
    // The help window while it is open.
    frmhelp* helpWindow() const { return help_; }

    // The workflows, as the Unpack and Pack buttons run them.
    void Unpack();
    void Pack();

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    void buildControls();
    XpFrame* addFrame(const QString& caption, QWidget* parent, const QRect& geometry);
    QLineEdit* addPathBox(QWidget* parent, const QRect& geometry);
    std::unique_ptr<Button_XP> addButton(const QString& name, const QString& caption,
                                         QWidget* parent, const QRect& geometry);
    void centreOnScreen();

    void List1_Click();
    void btnBF_Click();
    void btnCF_Click();
    void btnDF_Click();
    void btnAF_Click();
    void cmdWypakuj_Click();
    void cmdSpakuj_Click();
    void cmdTuto_Click();
    // Success shows the closing messages in order; a failure its one message.
    void report(const conversion::Outcome& outcome);
    // Pack found the image too detailed: fit it (without freezing the window), ask, and pack
    // the fitted image on Yes. Nothing on No.
    std::optional<conversion::Outcome> offerFit(const conversion::StepResult& tooDetailed);

    AppContext context_;
    CommonDialog CD_;
    QPixmap background_;
    std::vector<XpFrame*> frames_;
    std::array<QLineEdit*, 4> txt_{};
    QLineEdit* Text1_ = nullptr;
    QListWidget* List1_ = nullptr;
    QLabel* Label1_ = nullptr;
    QLabel* Label2_ = nullptr;
    QLabel* Picture1_ = nullptr;
    ZlibTool* ZlibTool1_ = nullptr;
    // Pack takes PNG and the other picture formats as well as DDS.
    images::QtPictureReader pictures_;
    std::unique_ptr<Button_XP> btnBF_;
    std::unique_ptr<Button_XP> btnCF_;
    std::unique_ptr<Button_XP> cmdWypakuj_;
    std::unique_ptr<Button_XP> btnDF_;
    std::unique_ptr<Button_XP> btnAF_;
    std::unique_ptr<Button_XP> cmdSpakuj_;
    std::unique_ptr<Button_XP> cmdTuto_;
    QPointer<frmhelp> help_;
};

} // namespace velmora
