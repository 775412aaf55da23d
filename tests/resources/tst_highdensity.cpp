#include "ResourcePictures.h"
#include "storage/ResourceRecord.h"
#include "support/ScreenFixture.h"
#include "ui/login/MainWindow.h"
#include "ui/settings/ProxySettings.h"
#include "ui/shell/AppController.h"
#include "ui/shell/BaseScreen.h"
#include "ui/token/Tokendetails.h"

#include <QApplication>
#include <QDir>
#include <QIcon>
#include <QImage>
#include <QLayout>
#include <QPixmap>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>

#include <algorithm>
#include <cstdlib>
#include <memory>

// The screens on a screen of device pixel ratio 2 (QT_SCALE_FACTOR=2, set by the test's registration): every
// picture must come from its @2x twin, drawn at that size, so that edges stay one device pixel wide instead of the
// two or three of a picture scaled up.
class TestHighDensity : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void iconAnswersWithTwin_data();
    void iconAnswersWithTwin();
    void keyEdgeIsSharp_data();
    void keyEdgeIsSharp();
    void pictureFromTwin_data();
    void pictureFromTwin();
    void screenshots();

private:
    // Shows one screen in the container and returns the container's picture at the device's resolution.
    QImage show(const QString& screen);
    QWidget* screenWidget(const QString& screen) const;

    std::unique_ptr<ScreenFixture> fixture_;
};

namespace {
QString artefactDir()
{
    const QString dir = QStringLiteral(VELTRANE_BINARY_DIR "/artefacts");
    QDir().mkpath(dir);
    return dir;
}
} // namespace

void TestHighDensity::initTestCase()
{
    QCOMPARE(qApp->devicePixelRatio(), 2.0);
}

void TestHighDensity::init()
{
    fixture_ = std::make_unique<ScreenFixture>();
}

void TestHighDensity::cleanup()
{
    fixture_.reset();
}

QWidget* TestHighDensity::screenWidget(const QString& screen) const
{
    if (screen == QLatin1String("token")) {
        return fixture_->screens.tokenScreen;
    }
    if (screen == QLatin1String("settings")) {
        return fixture_->screens.settingsWindow;
    }
    return fixture_->screens.loginWindow;
}

QImage TestHighDensity::show(const QString& screen)
{
    if (screen == QLatin1String("token")) {
        fixture_->storeLogin({ResourceRecord{QStringLiteral("Mail Gateway"), QStringLiteral("demo.user@example.com"),
                                             QStringLiteral("Remote Access"), QStringLiteral("P5W8TESTKEY")}});
    }
    fixture_->start();
    if (screen == QLatin1String("settings")) {
        fixture_->controller->settingsCaller = QStringLiteral("Login");
        fixture_->screens.loginWindow->hide();
        fixture_->screens.settingsWindow->show();
        fixture_->screens.settingsWindow->findChild<QTabWidget*>()->setCurrentIndex(0);
    }
    BaseScreen* container = fixture_->controller->container();
    container->layout()->activate();
    const QPixmap shot = container->grab();
    if (shot.devicePixelRatio() != 2.0) {
        qWarning("container drawn at ratio %f", shot.devicePixelRatio());
        return {};
    }
    return shot.toImage();
}

// Every picture at the resource root, asked for as an icon at its size, comes from its twin. Qt looks for the twins
// only when the application starts on a high-density screen, hence here.
void TestHighDensity::iconAnswersWithTwin_data()
{
    QTest::addColumn<QString>("name");
    for (const QString& name : ResourcePictures::rootPictures(false)) {
        QTest::newRow(qPrintable(name)) << name;
    }
}

void TestHighDensity::iconAnswersWithTwin()
{
    QFETCH(QString, name);
    const QSize size = QImage(QStringLiteral(":/") + name).size();
    const QPixmap shown = QIcon(QStringLiteral(":/") + name).pixmap(size, 2.0);
    QCOMPARE(shown.devicePixelRatio(), 2.0);
    const QImage twin(QStringLiteral(":/") + ResourcePictures::twinOf(name));
    // Loaded by its own name, the twin carries the ratio 2 as well.
    QCOMPARE(shown.toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied),
             twin.convertToFormat(QImage::Format_ARGB32_Premultiplied));
}

// A horizontal run of device pixels across one vertical edge of a key's glyph, in the 32-unit coordinates of the
// key's picture: from the dark key face into the light glyph.
void TestHighDensity::keyEdgeIsSharp_data()
{
    QTest::addColumn<QString>("screen");
    QTest::addColumn<QString>("key");
    QTest::addColumn<double>("y");
    QTest::addColumn<double>("fromX");
    QTest::addColumn<double>("toX");
    // The door frame's left side (x 9.35) of the logout key.
    QTest::newRow("token screen logout") << QStringLiteral("token") << QStringLiteral("pBLogout") << 13.0 << 5.5
                                         << 11.5;
    // The left rim of the gear's hub hole (x 13.4), from inside the hole out into the gear.
    QTest::newRow("login window settings")
        << QStringLiteral("login") << QStringLiteral("pBTProxy") << 15.75 << 15.5 << 11.0;
}

void TestHighDensity::keyEdgeIsSharp()
{
    QFETCH(QString, screen);
    QFETCH(QString, key);
    QFETCH(double, y);
    QFETCH(double, fromX);
    QFETCH(double, toX);
    const QImage shot = show(screen);
    QVERIFY(!shot.isNull());
    auto* button = screenWidget(screen)->findChild<QPushButton*>(key);
    QVERIFY(button && button->isVisible());
    QCOMPARE(button->iconSize(), QSize(32, 32));
    // The icon is centred in its button.
    const QPoint origin = button->mapTo(fixture_->controller->container(), QPoint(0, 0)) +
                          QPoint((button->width() - 32) / 2, (button->height() - 32) / 2);
    const int row = int(2 * (origin.y() + y));
    const int from = int(2 * (origin.x() + fromX));
    const int to = int(2 * (origin.x() + toX));
    const int step = to > from ? 1 : -1;
    QList<int> levels;
    for (int x = from; x != to; x += step) {
        levels.append(qGray(shot.pixel(x, row)));
    }
    const int low = *std::min_element(levels.cbegin(), levels.cend());
    const int high = *std::max_element(levels.cbegin(), levels.cend());
    QString trace;
    for (int level : levels) {
        trace += QString::number(level) + QLatin1Char(' ');
    }
    QVERIFY2(high - low > 100, qPrintable(trace));
    // Pixels between the two sides (15 % of the step away from either) make the ramp that blurs the edge.
    const int margin = (high - low) * 15 / 100;
    const auto ramp = std::count_if(levels.cbegin(), levels.cend(),
                                    [&](int level) { return level > low + margin && level < high - margin; });
    QVERIFY2(ramp <= 1, qPrintable(trace));
}

// Pictures given by style sheets (background-image: url(:/...)) and by button icons: the part of the screen they
// cover shows the twin's pixels, neither the 1x picture scaled up nor a twin drawn at a wrong size. Rectangles are in
// the picture's 1x coordinates, over opaque parts that no child widget covers; an icon sits centred in its button.
void TestHighDensity::pictureFromTwin_data()
{
    QTest::addColumn<QString>("screen");
    QTest::addColumn<QString>("widget");
    QTest::addColumn<QString>("picture");
    QTest::addColumn<QRect>("area");
    const QRect mark(94, 122, 50, 10); // the maker's mark under the keys
    QTest::newRow("token screen panel") << QStringLiteral("token") << QStringLiteral("widgetToken")
                                        << QStringLiteral("BG_OTP") << mark;
    QTest::newRow("login window panel") << QStringLiteral("login") << QStringLiteral("widgetToken")
                                        << QStringLiteral("BG_OTP") << mark;
    QTest::newRow("token screen group icon") << QStringLiteral("token") << QStringLiteral("framegroup")
                                             << QStringLiteral("UserGroup_icon") << QRect(6, 6, 12, 12);
    QTest::newRow("login window password icon") << QStringLiteral("login") << QStringLiteral("framePassword")
                                                << QStringLiteral("Password_24") << QRect(6, 6, 12, 12);
    QTest::newRow("Save & Close") << QStringLiteral("settings") << QStringLiteral("pBProxySave")
                                  << QStringLiteral("save_close") << QRect(6, 5, 71, 15);
    QTest::newRow("Cancel") << QStringLiteral("settings") << QStringLiteral("pBProxyCancel") << QStringLiteral("cancel")
                            << QRect(6, 5, 71, 15);
    // The container's own picture: the soft shadow under the panel, where the screens leave it uncovered.
    QTest::newRow("container shadow") << QStringLiteral("token") << QString() << QStringLiteral("BG_Trans")
                                      << QRect(30, 150, 200, 12);
    QTest::newRow("Login button") << QStringLiteral("login") << QStringLiteral("pBLogin") << QStringLiteral("login")
                                  << QRect(6, 5, 36, 14);
    QTest::newRow("token screen sync key")
        << QStringLiteral("token") << QStringLiteral("pBSync") << QStringLiteral("update") << QRect(7, 7, 18, 18);
}

void TestHighDensity::pictureFromTwin()
{
    QFETCH(QString, screen);
    QFETCH(QString, widget);
    QFETCH(QString, picture);
    QFETCH(QRect, area);
    const QImage shot = show(screen);
    QVERIFY(!shot.isNull());
    QWidget* target =
        widget.isEmpty() ? fixture_->controller->container() : screenWidget(screen)->findChild<QWidget*>(widget);
    QVERIFY(target && target->isVisible());
    const QSize size = QImage(QStringLiteral(":/%1.png").arg(picture)).size();
    const QPoint origin = target->mapTo(fixture_->controller->container(), QPoint(0, 0)) +
                          QPoint((target->width() - size.width()) / 2, (target->height() - size.height()) / 2);
    const QRect device(2 * (origin + area.topLeft()), 2 * area.size());
    const QImage shown = shot.copy(device);
    const QImage twin =
        QImage(QStringLiteral(":/%1@2x.png").arg(picture)).copy(QRect(2 * area.topLeft(), 2 * area.size()));
    const QImage enlarged = QImage(QStringLiteral(":/%1.png").arg(picture))
                                .copy(area)
                                .scaled(2 * area.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    QCOMPARE(twin.size(), shown.size());
    const double fromTwin = ResourcePictures::meanDifference(shown, twin);
    const double fromEnlarged = ResourcePictures::meanDifference(shown, enlarged);
    QVERIFY2(fromTwin < 1.0 && fromTwin * 3 < fromEnlarged,
             qPrintable(QStringLiteral("twin %1, enlarged %2").arg(fromTwin).arg(fromEnlarged)));
}

// The three screens at ratio 2, kept in the build tree for a look; the checks above hold what they must show.
void TestHighDensity::screenshots()
{
    for (const QString& screen : {QStringLiteral("login"), QStringLiteral("token"), QStringLiteral("settings")}) {
        fixture_.reset();
        fixture_ = std::make_unique<ScreenFixture>();
        const QImage shot = show(screen);
        QVERIFY(!shot.isNull());
        QCOMPARE(shot.size(), 2 * fixture_->controller->container()->size());
        const QString name = screen == QLatin1String("settings") ? QStringLiteral("settings-proxy") : screen;
        QVERIFY(shot.save(artefactDir() + QStringLiteral("/%1-scale2.png").arg(name)));
        if (screen == QLatin1String("settings")) {
            fixture_->screens.settingsWindow->findChild<QTabWidget*>()->setCurrentIndex(1);
            QVERIFY(fixture_->controller->container()->grab().save(artefactDir() +
                                                                   QStringLiteral("/settings-preference-scale2.png")));
        }
    }
}

QTEST_MAIN(TestHighDensity)
#include "tst_highdensity.moc"
