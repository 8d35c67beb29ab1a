// The vcgt reader against LittleCMS reading the same vcgt, on the same
// buffers and files in one run: parseColorProfileData on bytes in memory and
// ParseColorProfile on a file, against cmsOpenProfileFromMem/-FromFile +
// cmsReadTag(vcgt) + cmsCloseProfile. Prints how many times faster ours is.
// Also ours alone on sparse 3 GB files named as profiles.
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include <QFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>
#include <lcms2.h>

#include "icc_profiles.h"
#include "ramps/icc_profile.h"

namespace {

struct Case {
    std::string name;
    QString path;
    QByteArray bytes;
};

// Profiles LittleCMS writes, and the real display profiles of colord-data
// where they are installed.
std::vector<Case> makeCases(const QTemporaryDir& dir) {
    std::vector<Case> cases;
    const icc::Curves curves = icc::gammaCurves(2.2, 2.0, 1.8);
    for (icc::Version v : {icc::Version::V2, icc::Version::V4}) {
        Case c{v == icc::Version::V2 ? "lcms-v2" : "lcms-v4", {}, icc::lcmsTableProfile(v, curves)};
        c.path = dir.filePath(QString::fromStdString(c.name) + QStringLiteral(".icc"));
        QFile out(c.path);
        if (out.open(QIODevice::WriteOnly) && out.write(c.bytes) == c.bytes.size())
            cases.push_back(c);
    }
    for (const char* name : {"Bluish.icc", "Gamma6500K.icc"}) {
        QFile in(QStringLiteral("/usr/share/color/icc/colord/") + QLatin1String(name));
        if (in.open(QIODevice::ReadOnly))
            cases.push_back({name, in.fileName(), in.readAll()});
    }
    return cases;
}

void oursMemory(benchmark::State& state, const Case& c) {
    GammaRamp ramp;
    for (auto _ : state) {
        if (!parseColorProfileData(c.bytes, ramp))
            state.SkipWithError("parse failed");
        benchmark::DoNotOptimize(ramp);
    }
}

void lcmsMemory(benchmark::State& state, const Case& c) {
    for (auto _ : state) {
        cmsHPROFILE profile = cmsOpenProfileFromMem(c.bytes.constData(),
                                                    static_cast<cmsUInt32Number>(c.bytes.size()));
        void* curves = cmsReadTag(profile, cmsSigVcgtTag);
        if (!curves)
            state.SkipWithError("LittleCMS found no vcgt");
        benchmark::DoNotOptimize(curves);
        cmsCloseProfile(profile);
    }
}

void oursFile(benchmark::State& state, const Case& c) {
    GammaRamp ramp;
    for (auto _ : state) {
        if (!ParseColorProfile(c.path, ramp))
            state.SkipWithError("parse failed");
        benchmark::DoNotOptimize(ramp);
    }
}

void lcmsFile(benchmark::State& state, const Case& c) {
    const QByteArray name = QFile::encodeName(c.path);
    for (auto _ : state) {
        cmsHPROFILE profile = cmsOpenProfileFromFile(name.constData(), "r");
        void* curves = cmsReadTag(profile, cmsSigVcgtTag);
        if (!curves)
            state.SkipWithError("LittleCMS found no vcgt");
        benchmark::DoNotOptimize(curves);
        cmsCloseProfile(profile);
    }
}

// The console output as usual, and each run's CPU time kept for the
// ratios (steadier than wall time on a shared machine).
class RatioReporter : public benchmark::ConsoleReporter {
public:
    RatioReporter() : ConsoleReporter(OO_Tabular) {}

    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs)
            if (!run.error_occurred)
                times_[run.benchmark_name()] = run.GetAdjustedCPUTime();
    }

    // "ours/<where>/<case>" against "lcms/<where>/<case>".
    void printRatios(const std::vector<Case>& cases) const {
        std::printf("\nLittleCMS CPU time / our CPU time (target: at least 5x)\n");
        for (const char* where : {"memory", "file"}) {
            for (const Case& c : cases) {
                const std::string suffix = std::string("/") + where + "/" + c.name;
                const auto ours = times_.find("ours" + suffix);
                const auto lcms = times_.find("lcms" + suffix);
                if (ours == times_.end() || lcms == times_.end() || ours->second <= 0)
                    continue;
                std::printf("  %-6s %-16s %6.1fx\n", where, c.name.c_str(),
                            lcms->second / ours->second);
            }
        }
    }

private:
    std::map<std::string, double> times_;
};

// Sparse files of 3 GB named as profiles: zeros, and a valid profile padded
// to that size. The reader reads only its header, tag table and vcgt, so
// these cost what a small profile costs (ours only; no ratio).
std::vector<Case> makeHugeCases(const QTemporaryDir& dir) {
    std::vector<Case> cases;
    const qint64 size = 3LL * 1000 * 1000 * 1000;
    const QByteArray valid = icc::tableProfile(icc::linearCurves());
    for (const bool padded : {false, true}) {
        Case c{padded ? "3GB-padded-profile" : "3GB-of-zeros", {}, {}};
        c.path = dir.filePath(QString::fromStdString(c.name) + QStringLiteral(".icc"));
        QFile out(c.path);
        if (!out.open(QIODevice::WriteOnly) || (padded && out.write(valid) != valid.size()) ||
            !out.resize(size))
            continue;
        cases.push_back(c);
    }
    return cases;
}

void oursHugeFile(benchmark::State& state, const Case& c) {
    GammaRamp ramp;
    for (auto _ : state) {
        benchmark::DoNotOptimize(ParseColorProfile(c.path, ramp));
        benchmark::DoNotOptimize(ramp);
    }
}

void silence(QtMsgType, const QMessageLogContext&, const QString&) {}

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;

    QTemporaryDir dir;
    const std::vector<Case> cases = makeCases(dir);
    for (const Case& c : cases) {
        benchmark::RegisterBenchmark(("ours/memory/" + c.name).c_str(), oursMemory, c);
        benchmark::RegisterBenchmark(("lcms/memory/" + c.name).c_str(), lcmsMemory, c);
        benchmark::RegisterBenchmark(("ours/file/" + c.name).c_str(), oursFile, c);
        benchmark::RegisterBenchmark(("lcms/file/" + c.name).c_str(), lcmsFile, c);
    }
    for (const Case& c : makeHugeCases(dir))
        benchmark::RegisterBenchmark(("ours/file/" + c.name).c_str(), oursHugeFile, c);

    std::printf(
        "The reader's qDebug diagnostics are silenced (a no-op message handler) during "
        "the run: the figures measure parsing, not printing.\n");
    std::fflush(stdout);
    qInstallMessageHandler(silence);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    qInstallMessageHandler(nullptr);
    reporter.printRatios(cases);
    benchmark::Shutdown();
    return 0;
}
