#include "tree/nodes.h"

#include <cstring>

#include <QByteArray>

#include "core/log.h"
#include "tree/display_records.h"
#include "tree/node_list.h"

namespace {

// What a curve that was never set reads as; trivially destructible, so it
// outlives anything that may read it while the process ends.
constexpr GammaRamp unsetRamp{};

}  // namespace

StoredRamp& StoredRamp::operator=(const GammaRamp& ramp) {
    if (ramp_)
        *ramp_ = ramp;
    else
        ramp_ = std::make_unique<GammaRamp>(ramp);
    return *this;
}

const GammaRamp& StoredRamp::get() const {
    return ramp_ ? *ramp_ : unsetRamp;
}

Mode::Mode() : devMode(emptyDisplayMode()) {}

Mode::Mode(const DEVMODEA& settings, const QString& association)
    : devMode(emptyDisplayMode()), profile(association) {
    CopyDisplaySettings(devMode, settings);
}

Mode::~Mode() {
    nodelist::releaseChain(std::move(nextNode));
}

QString Mode::ListItemText() const {
    return QStringLiteral("%1x%2x%3 @ %4Hz")
        .arg(devMode.dmPelsWidth)
        .arg(devMode.dmPelsHeight)
        .arg(devMode.dmBitsPerPel)
        .arg(devMode.dmDisplayFrequency);
}

void Mode::WriteLog(LogGroup& log) const {
    log << "Bits Per Pixel: " << unsigned(devMode.dmBitsPerPel) << "\n"
        << "Display Flags: " << unsigned(devMode.dmDisplayFlags) << "\n"
        << "Display Frequency: " << unsigned(devMode.dmDisplayFrequency) << "\n";
}

void Mode::WriteTreeLines(QByteArray& out) const {
    out += QByteArray::number(devMode.dmBitsPerPel) + '\n' +
           QByteArray::number(devMode.dmDisplayFlags) + '\n' +
           QByteArray::number(devMode.dmDisplayFrequency) + '\n';
    if (!profile.isEmpty())
        out += '"' + profile.toLocal8Bit() + '"';
}

Resolution::Resolution(int w, int h)
    : width(w), height(h), modeHead(std::make_unique<Mode>()), modeTail(modeHead.get()) {}

Resolution::~Resolution() {
    nodelist::releaseChain(std::move(nextNode));
}

bool Resolution::hasAssociatedMode() const {
    for (const Mode* mode = modeHead->nextNode.get(); mode; mode = mode->nextNode.get())
        if (!mode->profile.isEmpty())
            return true;
    return false;
}

Mode* Resolution::appendMode(std::unique_ptr<Mode> mode) {
    return nodelist::append(modeTail, std::move(mode));
}

QString Resolution::ListItemText() const {
    return QStringLiteral("%1x%2").arg(width).arg(height);
}

void Resolution::WriteLog(LogGroup& log) const {
    log << width << "x" << height << "\n";
}

void Resolution::WriteTreeLines(QByteArray& out) const {
    out += QByteArray::number(static_cast<DWORD>(width)) + ' ' +
           QByteArray::number(static_cast<DWORD>(height));
}

Monitor::Monitor()
    : displayDevice(emptyDisplayDevice()),
      OutputDevice{},
      resolutionHead(std::make_unique<Resolution>()),
      resolutionTail(resolutionHead.get()) {}

Monitor::Monitor(const DISPLAY_DEVICEA& device) : Monitor() {
    CopyDisplayDevice(displayDevice, device);
}

Monitor::~Monitor() {
    nodelist::releaseChain(std::move(nextNode));
}

Resolution* Monitor::appendResolution(std::unique_ptr<Resolution> resolution) {
    return nodelist::append(resolutionTail, std::move(resolution));
}

void Monitor::setOutputDevice(const QByteArray& text) {
    setFieldText(OutputDevice, text);
}

QString Monitor::ListItemText() const {
    // DeviceID reads MONITOR\<hardware id>\<class>\<instance>. With fewer
    // parts, what follows the first backslash (or the whole text) is shown.
    const QString deviceId = fieldText(displayDevice.DeviceID);
    const qsizetype first = deviceId.indexOf(QLatin1Char('\\'));
    QString hardwareId = deviceId;
    if (first >= 0) {
        const qsizetype second = deviceId.indexOf(QLatin1Char('\\'), first + 1);
        hardwareId =
            second >= 0 ? deviceId.mid(first + 1, second - first - 1) : deviceId.mid(first + 1);
    }
    return hardwareId + QStringLiteral(" - ") + fieldText(displayDevice.DeviceString) +
           QLatin1Char('\n') + fieldText(OutputDevice) + QLatin1Char('\n');
}

void Monitor::WriteLog(LogGroup& log) const {
    log << "DeviceID = " << fieldText(displayDevice.DeviceID) << "\n"
        << "DeviceKey = " << fieldText(displayDevice.DeviceKey) << "\n"
        << "DeviceString = " << fieldText(displayDevice.DeviceString) << "\n"
        << "OutputDevice = " << fieldText(OutputDevice) << "\n";
    log.flush();
}

void Monitor::WriteTreeLines(QByteArray& out) const {
    const auto bytes = [](const char* field, std::size_t size) {
        return QByteArray(field, static_cast<qsizetype>(strnlen(field, size)));
    };
    out += bytes(displayDevice.DeviceID, sizeof displayDevice.DeviceID) + '\n' +
           bytes(displayDevice.DeviceKey, sizeof displayDevice.DeviceKey) + '\n' +
           bytes(displayDevice.DeviceString, sizeof displayDevice.DeviceString) + '\n' +
           bytes(OutputDevice, sizeof OutputDevice);
}
