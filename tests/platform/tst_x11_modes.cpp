// Display modes on X11: the output's RandR modes as the backend lists them,
// its current mode, and modes another client adds and switches to.
#include <algorithm>
#include <cmath>

#include <QRegularExpression>
#include <QTest>

#include "platform/x11/display_records.h"
#include "platform/x11/mode_order.h"
#include "platform/x11/x11_display_system.h"
#include "xorg_test_case.h"

namespace {

const QString baseMode = QStringLiteral("tavrin_1024x768");
const QStringList modelines = {
    QStringLiteral("\"tavrin_1024x768\" 63.50 1024 1072 1176 1328 768 771 775 798 -hsync +vsync"),
};

std::vector<DEVMODEA> listModes(DisplaySystem& system, const char* output) {
    std::vector<DEVMODEA> modes;
    DEVMODEA m{};
    for (DWORD k = 0; system.enumDisplaySettings(output, k, &m); ++k) modes.push_back(m);
    return modes;
}

// The current mode after an enumeration, as a pass of the watch loop reads it.
std::optional<DEVMODEA> currentMode(DisplaySystem& system, const char* output) {
    DISPLAY_DEVICEA adapter{};
    DEVMODEA mode{};
    if (!system.enumDisplayDevices(nullptr, 0, &adapter) ||
        !system.enumDisplaySettings(output, ENUM_CURRENT_SETTINGS, &mode))
        return std::nullopt;
    return mode;
}

// The modes of `output` in the order `xrandr --verbose` prints them: width,
// height and the vertical clock in Hz.
struct ListedMode {
    DWORD width;
    DWORD height;
    double rate;
};

std::vector<ListedMode> xrandrModes(const QByteArray& verbose, const QString& output) {
    std::vector<ListedMode> modes;
    bool inOutput = false;
    static const QRegularExpression h(QStringLiteral("^\\s+h: width\\s+(\\d+)"));
    static const QRegularExpression v(
        QStringLiteral("^\\s+v: height\\s+(\\d+).*clock\\s+([\\d.]+)Hz"));
    for (const QString& line : QString::fromLatin1(verbose).split(QLatin1Char('\n'))) {
        if (!line.isEmpty() && !line.front().isSpace()) {
            inOutput = line.startsWith(output + QLatin1Char(' '));
            continue;
        }
        if (!inOutput)
            continue;
        if (const auto m = h.match(line); m.hasMatch())
            modes.push_back({m.captured(1).toUInt(), 0, 0});
        if (const auto m = v.match(line); m.hasMatch() && !modes.empty()) {
            modes.back().height = m.captured(1).toUInt();
            modes.back().rate = m.captured(2).toDouble();
        }
    }
    return modes;
}

bool sameMode(const DEVMODEA& a, const DEVMODEA& b) {
    return a.dmBitsPerPel == b.dmBitsPerPel && a.dmPelsWidth == b.dmPelsWidth &&
           a.dmPelsHeight == b.dmPelsHeight && a.dmDisplayFlags == b.dmDisplayFlags &&
           a.dmDisplayFrequency == b.dmDisplayFrequency;
}

}  // namespace

class TestX11Modes : public XorgTestCase {
    Q_OBJECT

public:
    TestX11Modes() : XorgTestCase(modelines) {}

private slots:
    void init() {
        QVERIFY(server_.resetOutputs(baseMode));
        system_ = X11DisplaySystem::open(server_.displayNameBytes());
        QVERIFY(system_);
    }
    void cleanup() { system_.reset(); }

    // Every RandR mode of the output is listed, each display mode once, the
    // modes of one size together, the sizes in the order in which xrandr
    // first lists them.
    void modesAreListedOncePerModeGroupedBySize() {
        const auto modes = listModes(*system_, "DUMMY0");
        const auto listed = xrandrModes(server_.xrandr({"--verbose"}).output, "DUMMY0");
        QVERIFY(listed.size() > 10);
        for (const ListedMode& l : listed) {
            // xrandr prints the rate to two decimals.
            const bool found = std::any_of(modes.begin(), modes.end(), [&](const DEVMODEA& m) {
                return m.dmPelsWidth == l.width && m.dmPelsHeight == l.height &&
                       std::abs(double(m.dmDisplayFrequency) - l.rate) <= 0.505;
            });
            QVERIFY2(found, qPrintable(QStringLiteral("%1x%2 @ %3").arg(l.width).arg(l.height).arg(l.rate)));
        }
        std::vector<std::pair<DWORD, DWORD>> sizes;  // in the order xrandr first lists them
        for (const ListedMode& l : listed)
            if (std::find(sizes.begin(), sizes.end(), std::pair(l.width, l.height)) == sizes.end())
                sizes.emplace_back(l.width, l.height);
        std::vector<std::pair<DWORD, DWORD>> ours;
        for (std::size_t k = 0; k < modes.size(); ++k) {
            const QByteArray where = "mode " + QByteArray::number(qulonglong(k));
            QCOMPARE(modes[k].dmSize, WORD(sizeof(DEVMODEA)));
            QCOMPARE(modes[k].dmBitsPerPel, DWORD(32));  // a depth-24 screen
            for (std::size_t j = 0; j < k; ++j) QVERIFY2(!sameMode(modes[j], modes[k]), where);
            const std::pair size(modes[k].dmPelsWidth, modes[k].dmPelsHeight);
            if (ours.empty() || ours.back() != size) {
                // A size stands in one run only.
                QVERIFY2(std::find(ours.begin(), ours.end(), size) == ours.end(), where);
                ours.push_back(size);
            }
        }
        QVERIFY(ours == sizes);
    }

    void currentModeIsTheCrtcsMode() {
        const auto mode = currentMode(*system_, "DUMMY0");
        QVERIFY(mode);
        QCOMPARE(mode->dmPelsWidth, DWORD(1024));
        QCOMPARE(mode->dmPelsHeight, DWORD(768));
        QCOMPARE(mode->dmDisplayFrequency, DWORD(60));  // 63.5 MHz / (1328 x 798) = 59.92
        QCOMPARE(mode->dmDisplayFlags, DWORD(0));
    }

    // Another client defines a mode, gives it to the output and switches to
    // it: the next enumeration lists it last and reports it as current.
    void modeAddedAndSwitchedToByAnotherClient_data() {
        QTest::addColumn<QStringList>("modeline");
        QTest::addColumn<DWORD>("width");
        QTest::addColumn<DWORD>("height");
        QTest::addColumn<DWORD>("frequency");
        QTest::addColumn<DWORD>("flags");
        // The server lists 800x600 at 60.3 Hz already: a mode that rounds to
        // the same display mode is not listed a second time.
        QTest::addColumn<bool>("alreadyListed");
        QTest::newRow("59.5 Hz rounds up") << QStringList{"t_up", "59.50", "800", "840", "880",
                                                          "1000", "600",   "610", "620", "1000"}
                                           << DWORD(800) << DWORD(600) << DWORD(60) << DWORD(0)
                                           << true;
        QTest::newRow("59.499 Hz rounds down")
            << QStringList{"t_down", "59.499", "800", "840", "880",
                           "1000",   "600",    "610", "620", "1000"}
            << DWORD(800) << DWORD(600) << DWORD(59) << DWORD(0) << false;
        QTest::newRow("interlaced")
            << QStringList{"t_800x600i", "38.25", "800", "832",       "912",    "1024",  "600",
                           "603",        "607",   "624", "interlace", "-hsync", "+vsync"}
            << DWORD(800) << DWORD(600) << DWORD(60) << DWORD(DM_INTERLACED) << false;
        QTest::newRow("odd size at 75 Hz")
            << QStringList{"t_1000x700", "66.00", "1000", "1040", "1080",
                           "1100",       "700",   "720",  "740",  "800"}
            << DWORD(1000) << DWORD(700) << DWORD(75) << DWORD(0) << false;
        // A size the output has already: listed with the other modes of its
        // size, not after every other size.
        QTest::newRow("1024x768 at 66 Hz")
            << QStringList{"t_1024x768_66", "70.64", "1024", "1048", "1184",
                           "1328",          "768",   "771",  "777",  "806"}
            << DWORD(1024) << DWORD(768) << DWORD(66) << DWORD(0) << false;
    }

    void modeAddedAndSwitchedToByAnotherClient() {
        QFETCH(QStringList, modeline);
        QFETCH(DWORD, width);
        QFETCH(DWORD, height);
        QFETCH(DWORD, frequency);
        QFETCH(DWORD, flags);
        QFETCH(bool, alreadyListed);
        const QString name = modeline.front();
        // The backend has looked before the change.
        const std::size_t before = listModes(*system_, "DUMMY0").size();
        QVERIFY(currentMode(*system_, "DUMMY0"));

        server_.xrandr(QStringList{"--newmode"} + modeline);  // fails harmlessly when it exists
        server_.xrandr({"--addmode", "DUMMY0", name});
        QVERIFY(server_.xrandr({"--output", "DUMMY0", "--mode", name}).ok);

        const auto current = currentMode(*system_, "DUMMY0");
        QVERIFY(current);
        QCOMPARE(current->dmPelsWidth, width);
        QCOMPARE(current->dmPelsHeight, height);
        QCOMPARE(current->dmDisplayFrequency, frequency);
        QCOMPARE(current->dmDisplayFlags, flags);
        QCOMPARE(current->dmBitsPerPel, DWORD(32));

        // Listed once, right after the other modes of its size (last for a
        // new size).
        const auto modes = listModes(*system_, "DUMMY0");
        const auto at = std::find_if(modes.begin(), modes.end(),
                                     [&](const DEVMODEA& m) { return sameMode(m, *current); });
        QVERIFY(at != modes.end());
        QVERIFY(std::none_of(at + 1, modes.end(),
                             [&](const DEVMODEA& m) { return sameMode(m, *current); }));
        const auto sameSize = [&](const DEVMODEA& m) {
            return m.dmPelsWidth == width && m.dmPelsHeight == height;
        };
        const auto firstOfSize = std::find_if(modes.begin(), modes.end(), sameSize);
        QVERIFY(std::all_of(firstOfSize, at + 1, sameSize));
        if (!alreadyListed)
            QVERIFY(at + 1 == modes.end() || !sameSize(*(at + 1)));
        QCOMPARE(modes.size(), before + (alreadyListed ? 0 : 1));

        // Deleting it again from the output is seen too.
        QVERIFY(server_.xrandr({"--output", "DUMMY0", "--mode", baseMode}).ok);
        QVERIFY(server_.xrandr({"--delmode", "DUMMY0", name}).ok);
        QCOMPARE(currentMode(*system_, "DUMMY0")->dmPelsWidth, DWORD(1024));
        QCOMPARE(listModes(*system_, "DUMMY0").size(), before);
    }

    void outputWithoutCrtcHasNoCurrentMode() {
        QVERIFY(server_.attachMonitor("DUMMY2", baseMode));
        QVERIFY(currentMode(*system_, "DUMMY2"));
        QVERIFY(server_.xrandr({"--output", "DUMMY2", "--off"}).ok);
        QVERIFY(!currentMode(*system_, "DUMMY2"));
        // Its modes can still be listed.
        QVERIFY(!listModes(*system_, "DUMMY2").empty());
    }

    // --- The record rules on their own --------------------------------------

    void refreshRateRounds_data() {
        QTest::addColumn<qulonglong>("dotClock");
        QTest::addColumn<uint>("hTotal");
        QTest::addColumn<uint>("vTotal");
        QTest::addColumn<uint>("rate");
        QTest::newRow("59.94 Hz") << qulonglong(25175000) << 800u << 525u << 60u;
        QTest::newRow("exactly half rounds up") << qulonglong(29750000) << 1000u << 500u << 60u;
        QTest::newRow("just under half rounds down")
            << qulonglong(29749999) << 1000u << 500u << 59u;
        QTest::newRow("large dot clock") << qulonglong(4458000000ULL) << 8800u << 4500u << 113u;
        QTest::newRow("no totals") << qulonglong(25175000) << 0u << 525u << 0u;
    }

    void refreshRateRounds() {
        QFETCH(qulonglong, dotClock);
        QFETCH(uint, hTotal);
        QFETCH(uint, vTotal);
        QFETCH(uint, rate);
        ModeTiming t;
        t.dotClock = dotClock;
        t.hTotal = hTotal;
        t.vTotal = vTotal;
        QCOMPARE(refreshRate(t), DWORD(rate));
    }

    // Modes as "WxH@F" (flags DM_INTERLACED with a trailing "i").
    void modesAreGroupedBySize_data() {
        QTest::addColumn<QString>("listed");
        QTest::addColumn<QString>("grouped");
        QTest::newRow("already grouped") << "640x480@60 640x480@75 800x600@60"
                                         << "640x480@60 640x480@75 800x600@60";
        QTest::newRow("a mode added at the end joins its size")
            << "1920x1080@60 1280x720@60 1024x768@60 1280x720@50"
            << "1920x1080@60 1280x720@60 1280x720@50 1024x768@60";
        QTest::newRow("a repeat is dropped, also far from the first")
            << "1920x1080@60 1280x720@60 1920x1080@60 1920x1080@60"
            << "1920x1080@60 1280x720@60";
        QTest::newRow("interlaced is another mode") << "1920x1080@60 800x600@60 1920x1080@60i"
                                                    << "1920x1080@60 1920x1080@60i 800x600@60";
        QTest::newRow("sizes keep their first order")
            << "800x600@60 640x480@60 800x600@75 640x480@75 800x600@60"
            << "800x600@60 800x600@75 640x480@60 640x480@75";
        QTest::newRow("empty") << "" << "";
    }

    void modesAreGroupedBySize() {
        QFETCH(QString, listed);
        QFETCH(QString, grouped);
        const auto parse = [](const QString& text) {
            std::vector<DEVMODEA> modes;
            static const QRegularExpression m(QStringLiteral("(\\d+)x(\\d+)@(\\d+)(i?)"));
            for (auto it = m.globalMatch(text); it.hasNext();) {
                const auto match = it.next();
                DEVMODEA mode{};
                mode.dmPelsWidth = match.captured(1).toUInt();
                mode.dmPelsHeight = match.captured(2).toUInt();
                mode.dmDisplayFrequency = match.captured(3).toUInt();
                mode.dmDisplayFlags = match.captured(4).isEmpty() ? 0 : DM_INTERLACED;
                mode.dmBitsPerPel = 32;
                modes.push_back(mode);
            }
            return modes;
        };
        const auto result = modesGroupedBySize(parse(listed));
        const auto expected = parse(grouped);
        QCOMPARE(result.size(), expected.size());
        for (std::size_t k = 0; k < result.size(); ++k) QVERIFY(sameMode(result[k], expected[k]));
    }

private:
    std::unique_ptr<X11DisplaySystem> system_;
};

QTEST_GUILESS_MAIN(TestX11Modes)
#include "tst_x11_modes.moc"
