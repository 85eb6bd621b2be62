// The logo frame: the product's logo; a click opens the home page.
#pragma once

#include <QFrame>

#include <functional>

class QUrl;
namespace Ui { class TFrameQvlLogo; }

inline constexpr char kQuorvelHomePage[] = "https://quorvel.org/";

class TFrameQvlLogo : public QFrame
{
    Q_OBJECT
public:
    explicit TFrameQvlLogo(QWidget *parent = nullptr);
    ~TFrameQvlLogo() override;

    void LogoImageClick();

    Ui::TFrameQvlLogo *ui;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    // Reached with the Tab key, Space or Enter opens the home page.
    void keyPressEvent(QKeyEvent *event) override;
};

// Opens the home page with the desktop's handler for web addresses; a failure
// is not reported. Tests replace the opener to see what would be opened.
void OpenHomePage();
using TUrlOpener = std::function<void(const QUrl &)>;
void SetUrlOpener(TUrlOpener opener);

// The free-standing frame created first at start-up; never shown.
extern TFrameQvlLogo *FrameQvlLogo;
