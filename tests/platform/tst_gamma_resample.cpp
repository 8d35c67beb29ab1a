// Gamma tables on CRTCs that do not have 256 entries: the resampling in both
// directions against plain linear interpolation, and what reading back
// reports after a write.
#include <cmath>
#include <random>

#include <QTest>

#include "platform/x11/gamma_resample.h"

namespace {

GammaTable768 makeTable(int kind) {
    GammaTable768 t{};
    std::mt19937 random(1234);
    for (int c = 0; c < 3; ++c)
        for (int i = 0; i < 256; ++i) {
            double v = 0;
            switch (kind) {
                case 0:
                    v = i * 257.0;
                    break;
                case 1:
                    v = 65535.0 * std::pow(i / 255.0, 1.8 + 0.2 * c);
                    break;
                case 2:
                    v = (255 - i) * 257.0;
                    break;
                default:
                    v = double(random() % 65536);
                    break;
            }
            t[c * 256 + i] = static_cast<std::uint16_t>(std::lround(v));
        }
    return t;
}

// `source` linearly interpolated at the point j/(count-1) of its range.
double interpolated(std::span<const std::uint16_t> source, std::size_t j, std::size_t count) {
    const double p = double(j) * double(source.size() - 1) / double(count - 1);
    const std::size_t i = std::min(std::size_t(p), source.size() - 2);
    const double f = p - double(i);
    return source[i] * (1 - f) + source[i + 1] * f;
}

std::span<const std::uint16_t> channelOf(const GammaTable768& t, int c) {
    return std::span<const std::uint16_t>(t).subspan(c * 256, 256);
}

}  // namespace

class TestGammaResample : public QObject {
    Q_OBJECT

private slots:
    void sizes_data() {
        QTest::addColumn<int>("size");
        QTest::addColumn<int>("kind");
        for (int size : {1024, 4096, 2, 257, 100})
            for (int kind : {0, 1, 2, 3})
                QTest::addRow("%d entries, table %d", size, kind) << size << kind;
    }

    void writeIsLinearInterpolation_data() { sizes_data(); }
    void writeIsLinearInterpolation() {
        QFETCH(int, size);
        QFETCH(int, kind);
        const GammaTable768 table = makeTable(kind);
        const CrtcGamma gamma = gammaForCrtc(table, size);
        QCOMPARE(gamma.size(), std::size_t(size));
        for (int c = 0; c < 3; ++c) {
            QCOMPARE(gamma.channel(c).size(), std::size_t(size));
            QCOMPARE(gamma.channel(c).front(), table[c * 256]);
            QCOMPARE(gamma.channel(c).back(), table[c * 256 + 255]);
            for (int j = 0; j < size; ++j) {
                const double expected = interpolated(channelOf(table, c), j, size);
                QVERIFY2(std::abs(gamma.channel(c)[j] - expected) <= 0.5,
                         qPrintable(QStringLiteral("channel %1 entry %2").arg(c).arg(j)));
            }
        }
    }

    void readIsLinearInterpolation_data() { sizes_data(); }
    void readIsLinearInterpolation() {
        QFETCH(int, size);
        QFETCH(int, kind);
        // An arbitrary CRTC table of `size` entries per channel.
        CrtcGamma gamma;
        std::mt19937 random(kind);
        for (int c = 0; c < 3; ++c)
            for (int j = 0; j < size; ++j)
                gamma.channel(c).push_back(std::uint16_t(random() % 65536));
        const GammaTable768 table = tableFromCrtc(gamma);
        for (int c = 0; c < 3; ++c)
            for (int i = 0; i < 256; ++i) {
                const double expected = interpolated(gamma.channel(c), i, 256);
                QVERIFY2(std::abs(table[c * 256 + i] - expected) <= 0.5,
                         qPrintable(QStringLiteral("channel %1 entry %2").arg(c).arg(i)));
            }
    }

    void twoHundredFiftySixIsIdentity_data() {
        QTest::addColumn<int>("kind");
        for (int kind : {0, 1, 2, 3}) QTest::addRow("table %d", kind) << kind;
    }
    void twoHundredFiftySixIsIdentity() {
        QFETCH(int, kind);
        const GammaTable768 table = makeTable(kind);
        const CrtcGamma gamma = gammaForCrtc(table, 256);
        for (int c = 0; c < 3; ++c)
            QVERIFY(std::equal(gamma.channel(c).begin(), gamma.channel(c).end(),
                               table.begin() + c * 256));
        QVERIFY(tableFromCrtc(gamma) == table);
        QVERIFY(readBackTable(gamma, nullptr) == table);
    }

    void oneEntryHoldsTheFirst() {
        const GammaTable768 table = makeTable(1);
        const CrtcGamma gamma = gammaForCrtc(table, 1);
        QCOMPARE(gamma.red, std::vector<std::uint16_t>{table[0]});
        const GammaTable768 back = tableFromCrtc(gamma);
        QVERIFY(std::all_of(back.begin(), back.begin() + 256,
                            [&](std::uint16_t v) { return v == table[0]; }));
    }

    // Resampling there and back loses detail; the remembered write makes
    // the read-back of an unchanged CRTC exact all the same.
    void unchangedCrtcReadsBackTheWrite_data() {
        QTest::addColumn<int>("size");
        for (int size : {1024, 4096, 100}) QTest::addRow("%d entries", size) << size;
    }
    void unchangedCrtcReadsBackTheWrite() {
        QFETCH(int, size);
        const GammaTable768 written = makeTable(3);
        const CrtcGamma onCrtc = gammaForCrtc(written, size);
        QVERIFY(tableFromCrtc(onCrtc) != written);
        QVERIFY(readBackTable(onCrtc, &written) == written);

        // Another program changed one entry: the CRTC's own table counts.
        CrtcGamma changed = onCrtc;
        changed.green[size / 2] ^= 0x0100;
        QVERIFY(readBackTable(changed, &written) == tableFromCrtc(changed));
        QVERIFY(readBackTable(changed, &written) != written);
    }
};

QTEST_GUILESS_MAIN(TestGammaResample)
#include "tst_gamma_resample.moc"
