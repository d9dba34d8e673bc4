// The 13 exported calls. Everything here is argument checking, translation
// between the C records and the library-side lines, and error texts.
#include <cstring>
#include <string>

#include "abort.h"
#include "config.h"
#include "koralink.h"
#include "lan.h"
#include "line.h"
#include "net_common.h"
#include "portenum.h"
#include "support/textutil.h"

using namespace koralink;

namespace {

const char kNotOpen[] = "no open line (the line was closed, released or never opened)";

int SearchPorts(ListType *list, int wantedType) {
    if (!list || !*list || ListItemSize(*list) != sizeof(ConnectionRecord))
        return -2;
    int added = 0;
    for (const PortInfo &port : EnumeratePorts()) {
        if (port.type != wantedType)
            continue;
        ConnectionRecord record;
        std::memset(&record, 0, sizeof record);
        record.type = wantedType;
        record.comNumber = port.comNumber;
        CopyText(record.name, FitPortName(port.name, port.comNumber, sizeof record.name).c_str());
        CopyText(record.typeText, port.typeText.c_str());
        if (ListInsertItem(*list, &record, LIST_END) != 0)
            return -2;
        ++added;
    }
    return added;
}

// Runs one exchange on the caller's thread and records its outcome.
int Finish(LinkContext *ctx, const ExchangeResult &result) {
    if (result.answer.valid)
        StoreAnswer(ctx, result.answer);
    if (result.code != KORALINK_OK)
        SetError(ctx, result.error.empty() ? "exchange failed" : result.error);
    else
        ctx->lastError[0] = '\0';
    return result.code;
}

bool CheckFrameArguments(LinkContext *ctx, int command, const void *data, int dataLength) {
    if (command < 0 || command > 255) {
        SetError(ctx, "command " + std::to_string(command) + " is out of range 0..255");
        return false;
    }
    if (dataLength < 0 || dataLength > KORALINK_MAX_DATA || (dataLength > 0 && !data)) {
        SetError(ctx,
                 "request data length " + std::to_string(dataLength) + " is out of range 0..255");
        return false;
    }
    return true;
}

std::shared_ptr<Line> OpenLineOf(LinkContext *ctx) {
    std::shared_ptr<Line> line = FindLine(ctx);
    if (!line) {
        ctx->isOpen = 0;
        SetError(ctx, kNotOpen);
    }
    return line;
}

void ForgetAnswer(LinkContext *ctx) {
    StoreAnswer(ctx, Answer{});
}

} // namespace

extern "C" {

KORALINK_API int KORALINK_search_local_LAN(ListType *list) {
    return SearchLan(list);
}

KORALINK_API int KORALINK_search_local_USB(ListType *list) {
    return SearchPorts(list, KORALINK_TYPE_USB);
}

KORALINK_API int KORALINK_search_local_COM(ListType *list) {
    return SearchPorts(list, KORALINK_TYPE_COM);
}

KORALINK_API int KORALINK_init_tcp(LinkContext *ctx, int port, const char *ipText, int openMode) {
    if (!ctx)
        return 0;
    TakeLine(ctx).reset();
    std::string ip = ipText ? ipText : "";
    std::string label = ip + ":" + std::to_string(port);
    if (openMode < 1 || openMode > 4) {
        SetError(ctx, label + ": unknown open mode " + std::to_string(openMode));
        return 0;
    }
    Timeouts timeouts = TimeoutsForMode(openMode);
    std::string cause;
    uint32_t address = 0;
    std::unique_ptr<Transport> transport;
    if (CheckTcpTarget(ip, port, &address, &cause))
        transport = OpenTcp(address, port, timeouts.connectMs, &cause);
    if (!transport) {
        SetError(ctx, label + ": " + cause);
        return 0;
    }
    auto line = std::make_shared<Line>(std::move(transport), label, timeouts);
    line->tcpPort = port;
    line->host = ip;
    line->openMode = openMode;
    RegisterLine(ctx, std::move(line));
    ctx->lastError[0] = '\0';
    return 1;
}

KORALINK_API int KORALINK_init_rs232(LinkContext *ctx, int comNumber, int baudCode, int openMode) {
    if (comNumber == 0 && baudCode == 0 && openMode == 0) {
        if (ctx)
            TakeLine(ctx).reset();
        ReleaseProbeSerialLines();
        return 1;
    }
    if (!ctx)
        return 0;
    std::string label = "COM" + std::to_string(comNumber);
    if (baudCode < 0 || baudCode > 7) {
        TakeLine(ctx).reset();
        SetError(ctx, label + ": unknown baud code " + std::to_string(baudCode));
        return 0;
    }
    PortInfo port;
    if (comNumber < 1 || comNumber > 255 || !ResolvePort(comNumber, &port)) {
        TakeLine(ctx).reset();
        SetError(ctx, label + ": no such port");
        return 0;
    }
    return OpenSerialLine(ctx, comNumber, port.devicePath, baudCode, openMode);
}

KORALINK_API int KORALINK_exchange_frame(LinkContext *ctx, int command, int parameter,
                                         const void *data, int dataLength) {
    if (!ctx)
        return KORALINK_ERR_ARGUMENT;
    if (!CheckFrameArguments(ctx, command, data, dataLength))
        return KORALINK_ERR_ARGUMENT;
    std::shared_ptr<Line> line = OpenLineOf(ctx);
    if (!line)
        return KORALINK_ERR_NOT_OPEN;
    ForgetAnswer(ctx);
    return Finish(ctx, line->Exchange(command, static_cast<uint32_t>(parameter),
                                      static_cast<const uint8_t *>(data),
                                      static_cast<size_t>(dataLength)));
}

KORALINK_API int KORALINK_thread_exchange_frame(LinkContext *ctx, int command, int parameter,
                                                const void *data, int dataLength, int *handle) {
    if (handle)
        *handle = 0;
    if (!ctx)
        return KORALINK_ERR_ARGUMENT;
    if (!handle) {
        SetError(ctx, "no place for the exchange handle");
        return KORALINK_ERR_ARGUMENT;
    }
    if (!CheckFrameArguments(ctx, command, data, dataLength))
        return KORALINK_ERR_ARGUMENT;
    std::shared_ptr<Line> line = OpenLineOf(ctx);
    if (!line)
        return KORALINK_ERR_NOT_OPEN;
    ForgetAnswer(ctx);
    int r =
        line->StartJob(command, static_cast<uint32_t>(parameter),
                       static_cast<const uint8_t *>(data), static_cast<size_t>(dataLength), handle);
    if (r == KORALINK_ERR_BUSY)
        SetError(ctx, line->label() + ": a background exchange is still running");
    return r;
}

KORALINK_API int KORALINK_thread_wait_finish(LinkContext *ctx, int *handle) {
    if (!ctx)
        return KORALINK_ERR_ARGUMENT;
    if (!handle || *handle == 0) {
        SetError(ctx, "no background exchange was started");
        return KORALINK_ERR_ARGUMENT;
    }
    std::shared_ptr<Line> line = OpenLineOf(ctx);
    if (!line)
        return KORALINK_ERR_NOT_OPEN;
    ExchangeResult result;
    if (!line->FinishJob(*handle, &result)) {
        SetError(ctx,
                 line->label() + ": no background exchange with handle " + std::to_string(*handle));
        return KORALINK_ERR_ARGUMENT;
    }
    *handle = 0;
    return Finish(ctx, result);
}

KORALINK_API int KORALINK_get_ansframe_header(LinkContext *ctx, int *command, int *parameter,
                                              int *status) {
    if (!ctx)
        return KORALINK_ERR_ARGUMENT;
    Answer answer;
    if (!LoadAnswer(ctx, &answer)) {
        SetError(ctx, "no answer has been received on this line");
        return KORALINK_ERR_NO_FRAME;
    }
    if (command)
        *command = answer.command;
    if (parameter)
        *parameter = static_cast<int>(answer.parameter);
    if (status)
        *status = answer.status;
    return KORALINK_OK;
}

KORALINK_API int KORALINK_get_ansframe_data(LinkContext *ctx, void *buffer, int bufferSize,
                                            int *length) {
    if (length)
        *length = 0;
    if (!ctx)
        return KORALINK_ERR_ARGUMENT;
    if (!buffer || bufferSize < 0) {
        SetError(ctx, "no buffer for the answer data");
        return KORALINK_ERR_ARGUMENT;
    }
    Answer answer;
    if (!LoadAnswer(ctx, &answer)) {
        SetError(ctx, "no answer has been received on this line");
        return KORALINK_ERR_NO_FRAME;
    }
    int n = answer.length < bufferSize ? answer.length : bufferSize;
    std::memcpy(buffer, answer.data.data(), static_cast<size_t>(n));
    // Answer data is usually text: terminate it when there is room, so a
    // caller that prints the buffer never runs past the copied bytes.
    if (n < bufferSize)
        static_cast<char *>(buffer)[n] = '\0';
    if (length)
        *length = n;
    return KORALINK_OK;
}

KORALINK_API int KORALINK_read_sensor_info(LinkContext *ctx) {
    if (!ctx)
        return KORALINK_ERR_ARGUMENT;
    std::shared_ptr<Line> line = OpenLineOf(ctx);
    if (!line)
        return KORALINK_ERR_NOT_OPEN;

    ctx->sensorSerial = 0;
    std::memset(ctx->sensorType, 0, sizeof ctx->sensorType);
    std::memset(&ctx->line, 0, sizeof ctx->line);
    if (line->serial) {
        ctx->infoKind = 0;
        ctx->port = line->comNumber;
        ctx->line.baudCode = line->baudCode;
    } else {
        ctx->infoKind = 1;
        ctx->port = line->tcpPort;
        CopyText(ctx->line.host, line->host.c_str());
    }

    ForgetAnswer(ctx);
    int r = Finish(ctx, line->Exchange(KORALINK_CMD_LINE_OK, 0, nullptr, 0));
    if (r != KORALINK_OK)
        return r;
    Answer answer;
    LoadAnswer(ctx, &answer);
    ctx->sensorSerial = static_cast<int32_t>(answer.parameter);

    r = Finish(ctx, line->Exchange(KORALINK_CMD_VERSION, 0, nullptr, 0));
    if (r != KORALINK_OK)
        return r;
    LoadAnswer(ctx, &answer);
    CopyTextN(ctx->sensorType, sizeof ctx->sensorType,
              reinterpret_cast<const char *>(answer.data.data()), answer.length);
    return KORALINK_OK;
}

KORALINK_API int KORALINK_access_LAN_device(ConnectionRecord *record, int mode) {
    return AccessLanDevice(record, mode);
}

KORALINK_API const char *KORALINK_get_LAN_error(void) {
    return LastLanError();
}

KORALINK_API const char *KORALINK_get_config_warnings(void) {
    thread_local std::string copy;
    copy = SettingWarnings();
    return copy.c_str();
}

KORALINK_API void KORALINK_abort_waits(int on) {
    koralink::SetWaitsAborted(on != 0);
}

KORALINK_API int KORALINK_close(LinkContext *ctx) {
    if (!ctx)
        return 0;
    // Dropping the line joins a background exchange that was never waited
    // for and closes the port; the stored answer stays in the context.
    TakeLine(ctx).reset();
    return 0;
}

} // extern "C"
