#include "ProgramRun.h"
#include "Scenario.h"

#include "support/DemoAccount.h"
#include "support/DevServer.h"
#include "support/TestHome.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <functional>
#include <memory>

// The real veltrane-auth as a keyboard user and a screen reader meet it: on a private X server, on a private D-Bus
// session (the test runs under dbus-run-session), whose accessibility bus at-spi-bus-launcher starts on demand; the
// program runs with QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 and python3-pyatspi reads what a reader would. Keys are sent
// with xdotool only, the clipboard is read with xclip, the codes are checked by `veltrane-devserver verify`.
class TestEndToEndAccess : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void screenReaderReadsBothScreens();
    void keyboardAlone();
    void trayIconIsNamed_data();
    void trayIconIsNamed();

private:
    struct Node {
        QString role;
        QString name;
        QString description;
        QString text;
        bool hasText = false;
        double value = 0;
        bool hasValue = false;
        bool showing = false;
        bool focusable = false;
        QRect extents;
        // 0 for the application, 1 for its windows.
        int depth = 0;
    };
    // What the reader finds of the program's container window now (or, with listenSeconds, also the events it hears
    // until one comes from an accessible whose name starts with stopPrefix, and the window after them).
    struct Reading {
        QList<Node> window;
        QList<Node> windowAfter;
        QJsonArray events;
        bool ok = false;
    };
    Reading read(const ProgramRun& program, double listenSeconds = 0, const QString& stopPrefix = QString()) const;
    // What the reader finds, and the events it hears from the moment it listens until `seen` holds (polled; at
    // most kStepTimeoutMs); ok also says that `seen` came to hold.
    Reading listenUntil(const ProgramRun& program, const std::function<bool()>& seen) const;
    // A part of the screen as it shows now.
    QImage screenPart(const QRect& part) const;
    static Node node(const QJsonObject& entry);
    static QList<Node> containerNodes(const QJsonArray& tree);
    // Every accessible of the program (its windows: the container, the tray icon, a balloon, and what they hold), as
    // the reader finds them on the desktop now, in the tree's order; empty while the program is not on the bus.
    QList<Node> programNodes(const Desktop::Session& desktop, const ProgramRun& program) const;
    static const Node* find(const QList<Node>& nodes, const QString& role, const QString& namePrefix);
    static void report(const QString& title, const QList<Node>& nodes);
    // Checks what a reader must be able to rely on in a window: every showing button is named, and nothing showing
    // that takes the focus lies outside the window.
    static void checkWindow(const QList<Node>& nodes, const QRect& window);

    bool startServer() { return Scenario::startServer(*server_, DemoAccount::data()); }
    std::unique_ptr<ProgramRun> startProgram(Desktop::Window* container)
    {
        return Scenario::startProgram(*desktop_, home_->path(), container);
    }
    // Ctrl+C on the token screen, and the clipboard's six digits once they differ from `previous`.
    QString copyCode(const Desktop::Window& container, const QString& previous = QString()) const
    {
        return Scenario::copyCodeByKeys(*desktop_, container, previous);
    }
    bool serverAcceptsCode(const QString& resource, const QString& code) const
    {
        return Scenario::serverAcceptsCode(*server_, resource, code);
    }
    // Why a sign-in did not finish: the program's activity log and what it wrote (its box trace, Qt's warnings).
    static QString signInReport(ProgramRun& program)
    {
        return program.logMessages().join(QLatin1Char('\n')) + QStringLiteral("\n--\n") +
               QString::fromLocal8Bit(program.output());
    }
    // Requests the development server received for one servlet ("stat", "sync").
    int requestCount(const QString& servlet) const;

    std::unique_ptr<Desktop::Session> desktop_;
    std::unique_ptr<DevServer> server_;
    std::unique_ptr<TestHome> home_;
    QDir artefacts_{QStringLiteral(VELTRANE_E2E_ARTEFACT_DIR)};
};

namespace {
using Scenario::kDemoPassword;
using Scenario::kDemoUser;
const QString kPython = QStringLiteral("/usr/bin/python3");
const QString kReader = QStringLiteral(VELTRANE_SOURCE_DIR "/tests/e2e/atspi_tree.py");
const QRegularExpression kSixDigits(QStringLiteral("^\\d{6}$"));
} // namespace

void TestEndToEndAccess::initTestCase()
{
    if (qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS")) {
        QSKIP("no D-Bus session: the test runs under dbus-run-session");
    }
    const Desktop::CommandResult probe = Desktop::run(QProcessEnvironment::systemEnvironment(), kPython,
                                                      {QStringLiteral("-c"), QStringLiteral("import pyatspi")});
    QVERIFY2(probe.exitCode == 0, probe.error.constData());
    // Qt offers its accessibility bridge without waiting for a screen reader to ask.
    qputenv("QT_LINUX_ACCESSIBILITY_ALWAYS_ON", "1");
    desktop_ = std::make_unique<Desktop::Session>();
    QVERIFY2(desktop_->isValid(), qPrintable(desktop_->error()));
    QVERIFY(artefacts_.mkpath(QStringLiteral(".")));
}

void TestEndToEndAccess::init()
{
    home_ = Scenario::freshHome();
    server_ = Scenario::serverOnProgramAddress();
}

void TestEndToEndAccess::cleanup()
{
    if (QTest::currentTestFailed()) {
        desktop_->screenshot(
            artefacts_.filePath(QString::fromLatin1(QTest::currentTestFunction()) + QStringLiteral("-failed.png")));
        Scenario::reportServer(*server_);
    }
    server_.reset();
    home_.reset();
}

TestEndToEndAccess::Reading TestEndToEndAccess::read(const ProgramRun& program, double listenSeconds,
                                                     const QString& stopPrefix) const
{
    QStringList arguments{kReader, QString::number(program.pid())};
    if (listenSeconds > 0) {
        arguments << QString::number(listenSeconds);
        if (!stopPrefix.isEmpty()) {
            arguments << stopPrefix;
        }
    }
    Reading reading;
    // The program registers with the accessibility bus a moment after its window appears.
    Desktop::waitUntil(
        [&] {
            const Desktop::CommandResult result =
                Desktop::run(desktop_->environment(), kPython, arguments, int(listenSeconds * 1000) + 20000);
            if (result.exitCode != 0) {
                return false;
            }
            const QJsonObject json = QJsonDocument::fromJson(result.output).object();
            reading.window = containerNodes(json.value(QStringLiteral("tree")).toArray());
            reading.windowAfter = containerNodes(json.value(QStringLiteral("after")).toArray());
            reading.events = json.value(QStringLiteral("events")).toArray();
            reading.ok = !reading.window.isEmpty();
            return reading.ok;
        },
        kStepTimeoutMs);
    return reading;
}

TestEndToEndAccess::Node TestEndToEndAccess::node(const QJsonObject& entry)
{
    const QJsonArray box = entry.value(QStringLiteral("extents")).toArray();
    Node node;
    node.role = entry.value(QStringLiteral("role")).toString();
    node.name = entry.value(QStringLiteral("name")).toString();
    node.description = entry.value(QStringLiteral("description")).toString();
    node.hasText = entry.value(QStringLiteral("text")).isString();
    node.text = entry.value(QStringLiteral("text")).toString();
    node.hasValue = entry.value(QStringLiteral("value")).isDouble();
    node.value = entry.value(QStringLiteral("value")).toDouble();
    node.showing = entry.value(QStringLiteral("showing")).toBool();
    node.focusable = entry.value(QStringLiteral("focusable")).toBool();
    node.extents = box.size() == 4 ? QRect(box[0].toInt(), box[1].toInt(), box[2].toInt(), box[3].toInt()) : QRect();
    node.depth = entry.value(QStringLiteral("depth")).toInt();
    return node;
}

QList<TestEndToEndAccess::Node> TestEndToEndAccess::programNodes(const Desktop::Session& desktop,
                                                                 const ProgramRun& program) const
{
    const Desktop::CommandResult result =
        Desktop::run(desktop.environment(), kPython, {kReader, QString::number(program.pid())}, 20000);
    QList<Node> nodes;
    if (result.exitCode != 0) {
        return nodes;
    }
    for (const QJsonValue& value :
         QJsonDocument::fromJson(result.output).object().value(QStringLiteral("tree")).toArray()) {
        nodes.append(node(value.toObject()));
    }
    return nodes;
}

QList<TestEndToEndAccess::Node> TestEndToEndAccess::containerNodes(const QJsonArray& tree)
{
    // The container is the program's 550 x 200 frame; its subtree is what follows it one level deeper or more.
    QList<Node> nodes;
    int containerDepth = -1;
    for (const QJsonValue& value : tree) {
        const QJsonObject entry = value.toObject();
        const int depth = entry.value(QStringLiteral("depth")).toInt();
        const Node read = node(entry);
        if (containerDepth < 0) {
            if (read.role == QLatin1String("frame") && read.extents.width() == 550 && read.extents.height() == 200) {
                containerDepth = depth;
            } else {
                continue;
            }
        } else if (depth <= containerDepth) {
            break;
        }
        nodes.append(read);
    }
    return nodes;
}

const TestEndToEndAccess::Node* TestEndToEndAccess::find(const QList<Node>& nodes, const QString& role,
                                                         const QString& namePrefix)
{
    for (const Node& node : nodes) {
        if (node.showing && node.role == role && node.name.startsWith(namePrefix)) {
            return &node;
        }
    }
    return nullptr;
}

void TestEndToEndAccess::report(const QString& title, const QList<Node>& nodes)
{
    qInfo("%s, as the reader sees it (role | name | text | value):", qPrintable(title));
    for (const Node& node : nodes) {
        if (!node.showing || (node.name.isEmpty() && !node.hasText && !node.hasValue)) {
            continue;
        }
        qInfo("  %s | %s | %s | %s", qPrintable(node.role), qPrintable(node.name),
              node.hasText ? qPrintable(node.text) : "-",
              node.hasValue ? qPrintable(QString::number(node.value)) : "-");
    }
}

void TestEndToEndAccess::checkWindow(const QList<Node>& nodes, const QRect& window)
{
    int buttons = 0;
    for (const Node& node : nodes) {
        if (!node.showing) {
            continue;
        }
        if (node.role == QLatin1String("push button")) {
            ++buttons;
            QVERIFY2(!node.name.isEmpty(), "a showing button without a name");
        }
        if (node.focusable) {
            QVERIFY2(
                window.contains(node.extents.center()),
                qPrintable(QStringLiteral("%1 \"%2\" takes the focus outside the window").arg(node.role, node.name)));
        }
    }
    QVERIFY(buttons > 0);
}

TestEndToEndAccess::Reading TestEndToEndAccess::listenUntil(const ProgramRun& program,
                                                            const std::function<bool()>& seen) const
{
    Reading reading;
    QProcess reader;
    reader.setProcessEnvironment(desktop_->environment());
    // The limit only ends a reader that nobody stops.
    reader.start(kPython, {kReader, QString::number(program.pid()), QString::number(2 * kStepTimeoutMs / 1000),
                           QStringLiteral("--until-input")});
    QByteArray errors;
    const bool listening = reader.waitForStarted(kStepTimeoutMs) &&
                           Desktop::waitUntil(
                               [&] {
                                   errors += reader.readAllStandardError();
                                   return errors.contains("listening\n") || reader.state() == QProcess::NotRunning;
                               },
                               kStepTimeoutMs);
    const bool happened = listening && errors.contains("listening\n") && Desktop::waitUntil(seen, kStepTimeoutMs);
    reader.write("\n");
    reader.closeWriteChannel();
    if (!reader.waitForFinished(kStepTimeoutMs) || reader.exitCode() != 0) {
        qWarning("the reader failed: %s", (errors + reader.readAllStandardError()).constData());
        reader.kill();
        reader.waitForFinished();
        return reading;
    }
    const QJsonObject json = QJsonDocument::fromJson(reader.readAllStandardOutput()).object();
    reading.window = containerNodes(json.value(QStringLiteral("tree")).toArray());
    reading.windowAfter = containerNodes(json.value(QStringLiteral("after")).toArray());
    reading.events = json.value(QStringLiteral("events")).toArray();
    reading.ok = happened && !reading.window.isEmpty();
    return reading;
}

QImage TestEndToEndAccess::screenPart(const QRect& part) const
{
    const QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("screen.png"));
    return desktop_->screenshot(file) ? QImage(file).copy(part) : QImage();
}

int TestEndToEndAccess::requestCount(const QString& servlet) const
{
    int count = 0;
    for (const QJsonObject& request : server_->requests()) {
        count += request.value(QStringLiteral("servlet")).toString() == servlet ? 1 : 0;
    }
    return count;
}

void TestEndToEndAccess::screenReaderReadsBothScreens()
{
    QVERIFY(startServer());
    Desktop::Window container;
    auto program = startProgram(&container);
    QVERIFY(program);
    const QRect window = container.geometry;

    // The login window. Its status line scrolls every 175 ms; while the screen shows it move on three times, the
    // reader hears no name change.
    const Reading shown = read(*program);
    QVERIFY(shown.ok);
    const Node* line = find(shown.window, QStringLiteral("label"), QStringLiteral("Please Login..!"));
    QVERIFY(line);
    const QRect lineArea = line->extents;
    QImage lineBefore;
    int moves = 0;
    const Reading login = listenUntil(*program, [&] {
        const QImage lineNow = screenPart(lineArea);
        moves += !lineNow.isNull() && !lineBefore.isNull() && lineNow != lineBefore ? 1 : 0;
        lineBefore = lineNow;
        return moves >= 3;
    });
    QVERIFY2(login.ok, qPrintable(QStringLiteral("the status line moved %1 times").arg(moves)));
    report(QStringLiteral("The login window"), login.window);
    checkWindow(login.window, window);
    if (QTest::currentTestFailed()) {
        return;
    }
    QVERIFY(find(login.window, QStringLiteral("text"), QStringLiteral("Username")));
    QVERIFY(find(login.window, QStringLiteral("password text"), QStringLiteral("Password")));
    const Node* status = find(login.window, QStringLiteral("label"), QStringLiteral("Please Login..!"));
    QVERIFY(status);
    for (const QJsonValue& event : login.events) {
        QVERIFY2(event.toObject().value(QStringLiteral("role")).toString() != QLatin1String("label"),
                 qPrintable(QJsonDocument(event.toObject()).toJson(QJsonDocument::Compact)));
    }

    QVERIFY(Scenario::signIn(*desktop_, container, kDemoUser, kDemoPassword));
    QVERIFY2(program->waitForLogMessage(QStringLiteral("Persist data is completed"), kStepTimeoutMs),
             qPrintable(signInReport(*program)));

    // The token screen: the code is the label's text and ends its name, as Ctrl+C copies it.
    Reading token;
    QString copied;
    const Node* code = nullptr;
    // A code may change between reading and copying; the next change is 30 s away.
    for (int attempt = 0; attempt < 3; ++attempt) {
        token = read(*program);
        QVERIFY(token.ok);
        copied = copyCode(container);
        code = find(token.window, QStringLiteral("label"), QStringLiteral("Token code"));
        QVERIFY(code);
        if (code->text == copied) {
            break;
        }
    }
    report(QStringLiteral("The token screen"), token.window);
    checkWindow(token.window, window);
    if (QTest::currentTestFailed()) {
        return;
    }
    QVERIFY2(kSixDigits.match(copied).hasMatch(), qPrintable(copied));
    QCOMPARE(code->text, copied);
    QCOMPARE(code->name, QStringLiteral("Token code ") + copied);
    QVERIFY(serverAcceptsCode(QStringLiteral("Mail Gateway"), copied));
    QVERIFY(find(token.window, QStringLiteral("progress bar"), QStringLiteral("Seconds left")));

    // The copy is marked for clipboard histories.
    const Desktop::CommandResult targets =
        Desktop::run(desktop_->environment(), QStringLiteral("xclip"),
                     {QStringLiteral("-selection"), QStringLiteral("clipboard"), QStringLiteral("-t"),
                      QStringLiteral("TARGETS"), QStringLiteral("-o")});
    QVERIFY2(targets.output.contains("x-kde-passwordManagerHint"), targets.output.constData());
    const Desktop::CommandResult hint =
        Desktop::run(desktop_->environment(), QStringLiteral("xclip"),
                     {QStringLiteral("-selection"), QStringLiteral("clipboard"), QStringLiteral("-t"),
                      QStringLiteral("x-kde-passwordManagerHint"), QStringLiteral("-o")});
    QCOMPARE(hint.output, QByteArray("secret"));

    // Across the next code (at most 30 s away): the reader hears the change, and the new text is the new copy.
    const Reading change = read(*program, 40.0, QStringLiteral("Token code"));
    QVERIFY(change.ok);
    bool heardText = false;
    bool heardName = false;
    for (const QJsonValue& value : change.events) {
        const QJsonObject event = value.toObject();
        if (!event.value(QStringLiteral("name")).toString().startsWith(QLatin1String("Token code"))) {
            continue;
        }
        const QString type = event.value(QStringLiteral("type")).toString();
        heardText = heardText || type.startsWith(QLatin1String("object:text-changed"));
        heardName = heardName || type == QLatin1String("object:property-change:accessible-name");
    }
    QVERIFY2(heardText || heardName, "no change event of the code");
    QVERIFY(heardName);
    const Node* newCode = find(change.windowAfter, QStringLiteral("label"), QStringLiteral("Token code"));
    QVERIFY(newCode);
    QVERIFY(newCode->text != copied);
    const QString copiedAgain = copyCode(container, copied);
    QCOMPARE(newCode->text, copiedAgain);
    QCOMPARE(newCode->name, QStringLiteral("Token code ") + copiedAgain);
    QVERIFY(serverAcceptsCode(QStringLiteral("Mail Gateway"), copiedAgain));
}

void TestEndToEndAccess::keyboardAlone()
{
    QVERIFY(startServer());
    Desktop::Window container;
    auto program = startProgram(&container);
    QVERIFY(program);
    QVERIFY(Scenario::signIn(*desktop_, container, kDemoUser, kDemoPassword));
    QVERIFY2(program->waitForLogMessage(QStringLiteral("Persist data is completed"), kStepTimeoutMs),
             qPrintable(signInReport(*program)));
    QVERIFY(serverAcceptsCode(QStringLiteral("Mail Gateway"), copyCode(container)));

    // Right: the second resource.
    QVERIFY(desktop_->key(QStringLiteral("Right")));
    QTRY_VERIFY_WITH_TIMEOUT(serverAcceptsCode(QStringLiteral("VPN Zürich"), copyCode(container)), 10000);
    // Left and Page Down step as Previous and Next do.
    QVERIFY(desktop_->key(QStringLiteral("Left")));
    QTRY_VERIFY_WITH_TIMEOUT(serverAcceptsCode(QStringLiteral("Mail Gateway"), copyCode(container)), 10000);
    QVERIFY(desktop_->key(QStringLiteral("Next")));
    QTRY_VERIFY_WITH_TIMEOUT(serverAcceptsCode(QStringLiteral("VPN Zürich"), copyCode(container)), 10000);

    // F5: a sync, as the server sees it.
    const int statusRequests = requestCount(QStringLiteral("stat"));
    const int syncRequests = requestCount(QStringLiteral("sync"));
    QVERIFY(desktop_->key(QStringLiteral("F5")));
    QTRY_VERIFY_WITH_TIMEOUT(requestCount(QStringLiteral("sync")) == syncRequests + 1, kStepTimeoutMs);
    QCOMPARE(requestCount(QStringLiteral("stat")), statusRequests + 1);
    // A sync goes back to the first resource.
    QTRY_VERIFY_WITH_TIMEOUT(serverAcceptsCode(QStringLiteral("Mail Gateway"), copyCode(container)), 10000);

    // Ctrl+, opens the settings; Escape goes back to the codes.
    QVERIFY(desktop_->key(QStringLiteral("ctrl+comma")));
    Reading settings;
    QVERIFY(Desktop::waitUntil(
        [&] {
            settings = read(*program);
            return find(settings.window, QStringLiteral("push button"), QStringLiteral("Save & Close"));
        },
        kStepTimeoutMs));
    report(QStringLiteral("The settings window"), settings.window);
    checkWindow(settings.window, container.geometry);
    QVERIFY(desktop_->key(QStringLiteral("Escape")));
    QVERIFY(Desktop::waitUntil(
        [&] { return find(read(*program).window, QStringLiteral("label"), QStringLiteral("Token code ")); },
        kStepTimeoutMs));
    QVERIFY(program->boxTexts().isEmpty());
    program.reset();

    // A failed sign-in in a fresh home: the box is answered with Return, and what is typed next goes into the user
    // name field, never into a field out of sight.
    home_ = Scenario::freshHome();
    program = startProgram(&container);
    QVERIFY(program);
    QVERIFY(Scenario::signIn(*desktop_, container, kDemoUser, QStringLiteral("wrong-pass-2026")));
    const Desktop::Window box = program->waitForBox(kStepTimeoutMs);
    QVERIFY(box.isValid());
    QVERIFY(desktop_->focus(box));
    QVERIFY(desktop_->key(QStringLiteral("Return")));
    QVERIFY(program->waitForNoBox(kStepTimeoutMs));
    QVERIFY(desktop_->focus(container));
    QVERIFY(desktop_->type(QStringLiteral("typed")));
    Reading login;
    QVERIFY(Desktop::waitUntil(
        [&] {
            login = read(*program);
            const Node* user = find(login.window, QStringLiteral("text"), QStringLiteral("Username"));
            return user && user->text.endsWith(QLatin1String("typed"));
        },
        kStepTimeoutMs));
    for (const Node& node : login.window) {
        if (node.role == QLatin1String("text") && node.name != QLatin1String("Username")) {
            QVERIFY2(node.text.isEmpty(), qPrintable(node.text));
        }
    }
    desktop_->screenshot(artefacts_.filePath(QStringLiteral("keyboard-failed-sign-in.png")));
}

void TestEndToEndAccess::trayIconIsNamed_data()
{
    QTest::addColumn<bool>("trayAtStart");
    QTest::addColumn<bool>("trayAgain");
    // Whether to check the start-up balloon too, which shows at the icon for 151 s.
    QTest::addColumn<bool>("balloon");
    QTest::newRow("tray at start-up") << true << false << true;
    // A desktop whose panel starts after the program: the icon is made then.
    QTest::newRow("tray started later") << false << false << false;
    // A panel that quits and starts again: Qt makes the icon's window anew.
    QTest::newRow("tray started again") << true << true << false;
}

void TestEndToEndAccess::trayIconIsNamed()
{
    QFETCH(bool, trayAtStart);
    QFETCH(bool, trayAgain);
    QFETCH(bool, balloon);
    Desktop::Session desktop(trayAtStart);
    QVERIFY2(desktop.isValid(), qPrintable(desktop.error()));
    auto program = Scenario::startProgram(desktop, home_->path());
    QVERIFY(program);
    // The icon is the program's small window that the tray host embeds (trayer, an XEmbed tray).
    const auto isIcon = [](const Desktop::Window& w) { return w.geometry.width() <= 32 && w.geometry.height() <= 32; };
    if (!trayAtStart) {
        QVERIFY2(desktop.addTrayHost(), qPrintable(desktop.error()));
    }
    if (trayAgain) {
        QVERIFY(desktop.waitForWindow(program->pid(), isIcon, kStepTimeoutMs).isValid());
        desktop.stopTrayHost();
        QVERIFY(desktop.waitForNoWindow(program->pid(), isIcon, kStepTimeoutMs));
        QVERIFY2(desktop.addTrayHost(), qPrintable(desktop.error()));
    }
    const Desktop::Window icon = desktop.waitForWindow(program->pid(), isIcon, kStepTimeoutMs);
    QVERIFY(icon.isValid());

    // The reader finds it among the program's windows by its size.
    QList<Node> windows;
    const Node* found = nullptr;
    Desktop::waitUntil(
        [&] {
            windows = programNodes(desktop, *program);
            found = nullptr;
            for (const Node& node : windows) {
                if (node.depth == 1 && node.showing && node.extents.size() == icon.geometry.size()) {
                    found = &node;
                }
            }
            return found != nullptr;
        },
        kStepTimeoutMs);
    if (!found) {
        for (const Node& node : windows) {
            if (node.depth != 1) {
                continue;
            }
            qInfo("  window %s | %s | %d x %d%s", qPrintable(node.role), qPrintable(node.name), node.extents.width(),
                  node.extents.height(), node.showing ? "" : " (not showing)");
        }
        QFAIL(qPrintable(QStringLiteral("no window of the icon's size (%1 x %2) among the program's windows")
                             .arg(icon.geometry.width())
                             .arg(icon.geometry.height())));
    }
    qInfo("the tray icon, as the reader sees it: %s | %s | %s", qPrintable(found->role), qPrintable(found->name),
          qPrintable(found->description));
    // A reader says "Veltrane Auth, push button" and, asked for more, how to bring the window back.
    QCOMPARE(found->role, QStringLiteral("push button"));
    QCOMPARE(found->name, QStringLiteral("Veltrane Auth"));
    QCOMPARE(found->description,
             QStringLiteral("Double-click shows the Veltrane Auth window; right-click opens the menu"));
    if (!balloon) {
        return;
    }

    // The balloon beside it is named after its title, and so is every button in it (its close button).
    const Desktop::Window shown = program->waitForBalloon(kStepTimeoutMs);
    QVERIFY(shown.isValid());
    QList<Node> nodes;
    qsizetype top = -1;
    QVERIFY(Desktop::waitUntil(
        [&] {
            nodes = programNodes(desktop, *program);
            top = -1;
            for (qsizetype i = 0; i < nodes.size() && top < 0; ++i) {
                const Node& node = nodes.at(i);
                top = node.depth == 1 && node.showing && node.extents.size() == shown.geometry.size() ? i : -1;
            }
            return top >= 0;
        },
        kStepTimeoutMs));
    qInfo("the balloon, as the reader sees it: %s | %s", qPrintable(nodes.at(top).role),
          qPrintable(nodes.at(top).name));
    QVERIFY2(nodes.at(top).name.startsWith(QLatin1String("Veltrane Auth")), qPrintable(nodes.at(top).name));
    int buttons = 0;
    for (qsizetype i = top + 1; i < nodes.size() && nodes.at(i).depth > 1; ++i) {
        const Node& node = nodes.at(i);
        if (node.showing && node.role == QLatin1String("push button")) {
            ++buttons;
            QCOMPARE(node.name, QStringLiteral("Close"));
        }
    }
    QCOMPARE(buttons, 1);
}

QTEST_MAIN(TestEndToEndAccess)
#include "tst_e2e_access.moc"
