#include <algorithm>
#include <cctype>

#include "koralink.h"
#include "sim/lab.h"

namespace corvinsim {

namespace {

std::string Lower(std::string text) {
    for (char &c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

std::vector<uint8_t> Encode(uint8_t command, uint8_t status, uint32_t parameter,
                            const std::string &data) {
    koralink::Frame f;
    f.kind = koralink::FrameKind::Answer;
    f.command = command;
    f.status = status;
    f.parameter = parameter;
    f.length = static_cast<uint8_t>(std::min<size_t>(data.size(), koralink::kMaxData));
    std::copy_n(data.begin(), f.length, f.data.begin());
    std::vector<uint8_t> out(koralink::kMaxFrame);
    out.resize(koralink::EncodeFrame(f, out.data()));
    return out;
}

} // namespace

bool ParseFault(const std::string &text, Fault *fault) {
    static const std::pair<const char *, Fault> names[] = {
        {"", Fault::None},
        {"none", Fault::None},
        {"silent", Fault::Silent},
        {"noise", Fault::Noise},
        {"slow", Fault::Slow},
        {"vanish", Fault::Vanish},
        {"no-version", Fault::NoVersion},
        {"serial-zero", Fault::SerialZero},
        {"empty-version", Fault::EmptyVersion},
        {"long-version", Fault::LongVersion},
        {"bad-crc", Fault::BadCrc},
    };
    std::string key = Lower(text);
    for (const auto &[name, value] : names) {
        if (key == name) {
            *fault = value;
            return true;
        }
    }
    return false;
}

int BaudCodeOfRate(long long rate) {
    return rate > 0 && rate <= 921600 ? KoralinkBaudCode(static_cast<int32_t>(rate)) : -1;
}

bool ReadSensorConfig(const SectionView &section, SensorConfig *config, std::string *error) {
    const std::string where = "[" + section.name() + "] ";
    long long value = 0;
    // The record and the context carry the serial number as a signed 32-bit
    // number: a larger one would show as negative ("not set").
    if (!section.Int("Serial", 1, 0, INT32_MAX, &value, error))
        return false;
    config->serial = static_cast<uint32_t>(value);
    config->version = section.Text("Version", config->version);
    if (!section.Int("Baud", 115200, 1, 1000000000, &value, error))
        return false;
    config->baudCode = BaudCodeOfRate(value);
    if (config->baudCode < 0) {
        *error = where + "Baud=" + std::to_string(value) +
                 " is not one of 9600 19200 38400 57600 115200 230400 460800 921600";
        return false;
    }
    std::string fault = section.Text("Fault");
    if (!ParseFault(fault, &config->fault)) {
        *error = where + "unknown Fault=" + fault;
        return false;
    }
    if (!section.Int("Delay", 400, 0, 600000, &value, error))
        return false;
    config->delayMs = static_cast<int>(value);
    std::string wrong = Lower(section.Text("WrongRate", "silent"));
    if (wrong != "silent" && wrong != "noise") {
        *error = where + "WrongRate must be silent or noise";
        return false;
    }
    config->noiseAtWrongRate = wrong == "noise";
    return true;
}

SensorModel::SensorModel(SensorConfig config)
    : config_(std::move(config)), baudCode_(config_.baudCode), random_(config_.serial) {}

std::vector<uint8_t> SensorModel::Noise(size_t count) {
    std::vector<uint8_t> bytes(count);
    for (uint8_t &b : bytes) {
        b = static_cast<uint8_t>(random_());
        if (b == koralink::kSync0)
            b = 0x55;
    }
    return bytes;
}

std::optional<SensorModel::Reply> SensorModel::Answer(const koralink::Frame &request) {
    if (request.kind != koralink::FrameKind::Request)
        return std::nullopt;
    Reply reply;
    switch (config_.fault) {
    case Fault::Silent:
    case Fault::Vanish:
        return std::nullopt;
    case Fault::Noise:
        reply.bytes = Noise(16);
        return reply;
    case Fault::Slow:
        reply.delayMs = config_.delayMs;
        break;
    default:
        break;
    }

    switch (request.command) {
    case 5:
        reply.bytes = Encode(5, koralink::kStatusOk,
                             config_.fault == Fault::SerialZero ? 0 : config_.serial, "");
        break;
    case 7: {
        if (config_.fault == Fault::NoVersion)
            return std::nullopt;
        std::string text = config_.version;
        if (config_.fault == Fault::EmptyVersion)
            text.clear();
        if (config_.fault == Fault::LongVersion) {
            while (text.size() <= 100)
                text += " -- extended build information";
        }
        reply.bytes = Encode(7, koralink::kStatusOk, 0, text);
        break;
    }
    case 190:
        if (request.parameter > 7) {
            reply.bytes = Encode(190, koralink::kStatusBadParameter, request.parameter, "");
        } else {
            reply.bytes = Encode(190, koralink::kStatusOk, request.parameter, "");
            baudCode_ = static_cast<int>(request.parameter);
        }
        break;
    default:
        reply.bytes = Encode(request.command, koralink::kStatusUnknownCommand, 0, "");
        break;
    }
    if (config_.fault == Fault::BadCrc)
        reply.bytes.back() ^= 0x5A;
    return reply;
}

} // namespace corvinsim
