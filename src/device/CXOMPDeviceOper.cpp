#include "device/CXOMPDeviceOper.h"

#include <algorithm>
#include <cstring>

#include "platform/Debug.h"
#include "platform/Socket.h"
#include "platform/Text.h"

namespace orbisight {
namespace {

constexpr int kCommandSd = 3100;
constexpr int kReplySd = 3101;
constexpr int kCommandGetParameters = 3300;
constexpr int kReplyParameters = 3301;
constexpr int kCommandSetParameters = 3302;
constexpr int kCommandGetExtended = 3304;
constexpr int kReplyExtended = 3305;
constexpr int kCommandSetExtended = 3306;
constexpr int kCommandGetRf = 3400;
constexpr int kReplyRf = 3401;
constexpr int kCommandSetRf = 3402;

// The raw exchange for the debug output: printable bytes as they are, the
// rest as ".", cut after a few hundred bytes (file chunks are large).
std::string DebugText(const uint8_t* bytes, size_t size) {
    constexpr size_t kMaxShown = 512;
    std::string text;
    for (size_t i = 0; i < std::min(size, kMaxShown); ++i) {
        char c = static_cast<char>(bytes[i]);
        text += (c >= 0x20 && c < 0x7F) ? c : '.';
    }
    if (size > kMaxShown) {
        text += "...";
    }
    return text;
}

}  // namespace

CXOMPDeviceOper::CXOMPDeviceOper() : receiveBuffer_(kReceiveBufferSize) {}

CXOMPDeviceOper::~CXOMPDeviceOper() {
    Close();
}

int CXOMPDeviceOper::Open(const DeviceInfo& record) {
    uint64_t closesBefore;
    {
        std::lock_guard stopLock(stopMutex_);
        closesBefore = closeRequests_;
    }
    std::lock_guard lifecycle(lifecycleMutex_);
    if (receiveThread_.Running() || keepAliveThread_.Running() || sendThread_.Running()) {
        stopping_ = true;
        SignalStop();
        StopAndRelease();
    }
    {
        std::lock_guard stopLock(stopMutex_);
        if (closeRequests_ != closesBefore) {
            return 0;  // closed while this Open waited: stay closed
        }
        stopping_ = false;
    }
    record_ = CopyDeviceInfo(record);
    address_ = ParseCommandAddress(record_->Url());

    int result = LoginStep();
    lastLoginResult_ = result;

    std::lock_guard stopLock(stopMutex_);
    if (stopping_) {
        return 0;  // closed while logging in: Close frees what was opened
    }
    receiveThread_.Start(
        threadName_ + "/recv", [this](AutoResetEvent& stop) { ReceiveLoop(stop); },
        ThreadPriority::kHighest);
    keepAliveThread_.Start(threadName_ + "/alive",
                           [this](AutoResetEvent& stop) { KeepAliveLoop(stop); });
    sendThread_.Start(threadName_ + "/send", [this](AutoResetEvent& stop) { SendLoop(stop); });
    return result == kLoginOk ? 1 : 0;
}

void CXOMPDeviceOper::SignalStop() {
    receiveThread_.SignalStop();
    keepAliveThread_.SignalStop();
    sendThread_.SignalStop();
    requests_.Wake();
    // Wakes a thread blocked in a read or a send on the socket. A shared
    // lock: a send in progress does not hold this up.
    std::shared_lock lock(socketMutex_);
    ShutdownSocket(socket_);
}

void CXOMPDeviceOper::Close() {
    // Tell everything to stop before waiting for an Open in progress: its
    // name resolution, connection attempt and login read end at once.
    {
        std::lock_guard stopLock(stopMutex_);
        ++closeRequests_;
        stopping_ = true;
        SignalStop();
    }
    std::lock_guard lifecycle(lifecycleMutex_);
    StopAndRelease();
}

void CXOMPDeviceOper::StopAndRelease() {
    SignalStop();  // again, for threads an Open in progress has started
    receiveThread_.Join(timings_.threadStopWaitMs);
    keepAliveThread_.Join(timings_.threadStopWaitMs);
    sendThread_.Join(timings_.threadStopWaitMs);
    CloseCurrentSocket();
    requests_.Clear();
    loggedIn_ = false;
    AbortSdDownload();
    record_.reset();
}

void CXOMPDeviceOper::CloseCurrentSocket() {
    std::unique_lock lock(socketMutex_);
    CloseSocket(socket_);
    socket_ = kNoSocket;
    connection_.store(0);
}

int CXOMPDeviceOper::LoginStep() {
    if (!record_) {
        return kLoginNoRecord;
    }
    CloseCurrentSocket();
    if (!address_.HasPort() || stopping_) {
        return kLoginNoConnection;
    }
    int fd = ConnectTcp(address_.host.empty() ? nullptr : address_.host.c_str(), address_.port,
                        timings_.connectTimeoutMs, &stopping_);
    if (fd < 0) {
        return kLoginNoConnection;
    }
    {
        // Close() sets stopping_ before it shuts the socket down under this
        // lock, so a socket installed here is either seen by Close() or not
        // installed at all.
        std::unique_lock lock(socketMutex_);
        if (stopping_) {
            CloseSocket(fd);
            return kLoginNoConnection;
        }
        socket_ = fd;
        connection_.store(++lastConnection_);
    }

    CHalvexProtocolAX login;
    login.SetType(msgtype::kLogin);
    login.AddField("UserName", std::string(record_->User()).c_str());
    login.AddField("Password", std::string(record_->Password()).c_str());
    login.AddField("DeviceSerial", std::string(record_->Id()).c_str());
    if (Send(login) && ReceiveAndHandle(fd)) {
        loggedIn_ = true;
        return kLoginOk;
    }
    CloseCurrentSocket();
    loggedIn_ = false;
    return kLoginNoAnswer;
}

bool CXOMPDeviceOper::Send(CHalvexProtocolAX& message) {
    return SendOn(connection_.load(), message);
}

bool CXOMPDeviceOper::SendOn(uint64_t connection, CHalvexProtocolAX& message) {
    std::shared_lock lock(socketMutex_);
    if (socket_ < 0 || connection == 0 || connection_.load() != connection) {
        return false;
    }
    int sent = SendMessage(socket_, message, timings_.sendTimeoutMs);
    if (sent == message.TotalLength()) {
        return true;
    }
    if (sent > 0) {
        // Part of a message went out: the camera can no longer find the
        // next header, so the stream is dead. Shutting it down makes the
        // receive thread notice and log in again.
        ShutdownSocket(socket_);
    }
    return false;
}

std::unique_ptr<CHalvexProtocolAX> CXOMPDeviceOper::NewRequest() {
    auto message = std::make_unique<CHalvexProtocolAX>();
    message->SetType(msgtype::kRequest);
    return message;
}

bool CXOMPDeviceOper::SendRequest(std::unique_ptr<CHalvexProtocolAX> message) {
    uint64_t connection = connection_.load();
    if (connection == 0 || stopping_) {
        return false;  // nothing to send it on, as a send on a closed socket
    }
    return requests_.Push(std::move(message), connection);
}

void CXOMPDeviceOper::Post(uint32_t message, uintptr_t wParam, intptr_t lParam, std::string text,
                           std::shared_ptr<void> object) {
    if (owner_ == nullptr) {
        return;
    }
    Notice notice;
    notice.message = message;
    notice.wParam = wParam;
    notice.lParam = lParam;
    notice.text = std::move(text);
    notice.object = std::move(object);
    owner_->Post(std::move(notice));
}

bool CXOMPDeviceOper::ReceiveAndHandle(int socket) {
    CHalvexProtocolAX message;
    ReceiveResult result =
        ReceiveMessage(socket, timings_.replyTimeoutMs, timings_.replyTimeoutMs, kMaxBody,
                       receiveBuffer_.data(), receiveBuffer_.size(), message);
    if (result != ReceiveResult::kOk) {
        return false;
    }
    if (DebugEnabled()) {
        size_t size = static_cast<size_t>(message.ParsedBodyLength()) + 14;
        DebugOutput(DebugText(receiveBuffer_.data(), size) + "\n");
    }

    const Field* ret = message.FindField("Ret");
    if (ret == nullptr) {
        return true;
    }
    if (!EqualsNoCase(ret->Value(), "1")) {
        if (message.Type() == msgtype::kLoginReply) {
            loginRefused_ = true;
        }
        const char* errorInfo = message.FindText("ErrorInfo");
        Post(notice::kReplyFailed, static_cast<uintptr_t>(mode_), 0, errorInfo ? errorInfo : "");
        PostSetAnswer(message, false);
        return true;
    }
    PostSetAnswer(message, true);
    if (message.Type() == msgtype::kReply) {
        HandleReply(message);
    } else if (message.Type() == msgtype::kLoginReply) {
        loginRefused_ = false;
        SendModeRequest();
    }
    return true;
}

void CXOMPDeviceOper::PostSetAnswer(const CHalvexProtocolAX& message, bool accepted) {
    if (message.Type() != msgtype::kReply) {
        return;
    }
    const char* codeText = message.FindText("Command_Param");
    int code = codeText ? ParseDecimal(codeText) : 0;
    // Without this a window could only assume a set worked once it was
    // handed to the socket, and would call a refused set a success.
    if (code == kCommandSetParameters + 1 || code == kCommandSetExtended + 1 ||
        code == kCommandSetRf + 1) {
        Post(notice::kSetAnswered, static_cast<uintptr_t>(code), accepted ? 1 : 0);
    }
}

void CXOMPDeviceOper::SendModeRequest() {
    switch (mode_) {
        case kModeSdRecords:
            RequestSdDirList();
            break;
        case kModeParameters:
            RequestParameters();
            break;
        case kModeRfSensors:
            RequestRfList();
            break;
        default:
            break;
    }
}

void CXOMPDeviceOper::HandleReply(const CHalvexProtocolAX& message) {
    const char* code = message.FindText("Command_Param");
    switch (code ? ParseDecimal(code) : 0) {
        case kReplySd:
            HandleSdReply(message);
            break;
        case kReplyParameters: {
            const Field* block = message.FindField("DevInfo");
            // A block shorter than the structure would leave stale bytes
            // mixed with new ones; it is refused like a failed reply.
            if (block == nullptr || block->valueLength < static_cast<int>(sizeof(DevInfoBlock))) {
                Post(notice::kReplyFailed, static_cast<uintptr_t>(mode_), 0,
                     "parameter block missing or short");
                break;
            }
            {
                std::lock_guard lock(dataMutex_);
                std::memcpy(parameterArea_.data(), block->Bytes(), sizeof(DevInfoBlock));
            }
            RequestExtendedParameters();
            break;
        }
        case kReplyExtended: {
            const Field* block = message.FindField("DevInfo");
            if (block == nullptr || block->valueLength < static_cast<int>(sizeof(DevInfoExt))) {
                Post(notice::kReplyFailed, static_cast<uintptr_t>(mode_), 0,
                     "extended parameter block missing or short");
                break;
            }
            auto snapshot = std::make_shared<DeviceParameters>();
            {
                std::lock_guard lock(dataMutex_);
                std::memcpy(&extended_, block->Bytes(), sizeof(DevInfoExt));
                std::memcpy(&snapshot->block, parameterArea_.data(), sizeof(DevInfoBlock));
                snapshot->ext = extended_;
            }
            // wParam points at the extended block inside the notice's own
            // payload, so it stays valid for as long as the notice lives.
            auto wParam = reinterpret_cast<uintptr_t>(&snapshot->ext);
            Post(notice::kParameters, wParam, 3, {}, std::move(snapshot));
            break;
        }
        case kReplyRf: {
            const Field* list = message.FindField("RfidInfo");
            Post(notice::kRfList, 0, 0, list ? std::string(list->Value()) : std::string());
            break;
        }
        default:
            break;
    }
}

void CXOMPDeviceOper::HandleSdReply(const CHalvexProtocolAX& message) {
    const char* typeText = message.FindText("Type");
    int type = typeText ? ParseDecimal(typeText) : 0;
    switch (type) {
        case 1: {
            const char* list = message.FindText("DirList");
            auto items = ParseSdList(list ? list : "", SdListKind::kDirectories);
            std::lock_guard lock(dataMutex_);
            dirList_ = std::move(items);
            break;
        }
        case 2:
        case 7: {
            // An hour folder is answered with its recordings in "FileList",
            // shown like a day's list. Announcing it as a finished download
            // would end a download that never began and never show the files.
            const Field* list = message.FindField("FileList");
            auto items = ParseSdList(list ? list->Value() : "", SdListKind::kFiles);
            {
                std::lock_guard lock(dataMutex_);
                fileList_ = std::move(items);
            }
            Post(notice::kSdFileList, 0, 0);
            break;
        }
        case 3: {
            const Field* name = message.FindField("FileName");
            const Field* data = message.FindField("FileData");
            std::lock_guard lock(downloadMutex_);
            if (!downloadFile_ || name == nullptr || data == nullptr ||
                !EqualsNoCase(name->Value(), downloadName_)) {
                break;  // not the file being downloaded, or none is open
            }
            size_t size = static_cast<size_t>(data->valueLength);
            if (size > 0 && std::fwrite(data->Bytes(), 1, size, downloadFile_.get()) != size) {
                // A disk that fills up must not end in a "finished" notice
                // for a cut file.
                downloadFailed_ = true;
                downloadFile_.reset();
            }
            break;
        }
        case 4: {
            bool failed = false;
            {
                std::lock_guard lock(downloadMutex_);
                if (downloadFile_ && std::fflush(downloadFile_.get()) != 0) {
                    downloadFailed_ = true;
                }
                downloadFile_.reset();
                failed = downloadFailed_;
                downloadFailed_ = false;
            }
            if (failed) {
                Post(notice::kReplyFailed, static_cast<uintptr_t>(mode_), 0,
                     "cannot write the downloaded file");
            } else {
                Post(notice::kSdDownloadDone, 0, 0);
            }
            break;
        }
        case 5:
            Post(notice::kSdType5, 0, 0);
            break;
        default:
            break;
    }
}

void CXOMPDeviceOper::ReceiveLoop(AutoResetEvent& stop) {
    for (;;) {
        if (stopping_) {
            return;
        }
        int fd;
        {
            std::shared_lock lock(socketMutex_);
            fd = socket_;
        }
        if (fd >= 0 && ReceiveAndHandle(fd)) {
            if (stop.Wait(1)) {
                return;
            }
            continue;
        }
        if (stopping_) {
            return;
        }
        // The connection is gone: requests fail from now on instead of
        // going into a dead socket while the next attempt is awaited.
        loggedIn_ = false;
        CloseCurrentSocket();
        if (stop.Wait(timings_.retryDelayMs)) {
            return;
        }
        lastLoginResult_ = LoginStep();
    }
}

void CXOMPDeviceOper::KeepAliveLoop(AutoResetEvent& stop) {
    while (!stop.Wait(timings_.keepAliveIntervalMs)) {
        if (stopping_) {
            return;
        }
        CHalvexProtocolAX keepAlive;
        keepAlive.SetType(msgtype::kKeepAlive);
        Send(keepAlive);
    }
}

void CXOMPDeviceOper::SendLoop(AutoResetEvent& stop) {
    RequestQueue::Request request;
    while (!stop.TryConsume() && !stopping_) {
        if (!requests_.Pop(request)) {
            requests_.WaitForRequest(200);
            continue;
        }
        SendOn(request.connection, *request.message);
        request.message.reset();
    }
}

bool CXOMPDeviceOper::RequestSdDirList() {
    auto message = NewRequest();
    message->AddNumberField("Type", 1);
    message->AddNumberField("Command_Param", kCommandSd);
    message->AddNumberField("Wait", 1);
    return SendRequest(std::move(message));
}

bool CXOMPDeviceOper::RequestSdFileList(std::string_view dir, std::string_view start,
                                        std::string_view end) {
    auto message = NewRequest();
    message->AddNumberField("Type", 2);
    message->AddNumberField("Command_Param", kCommandSd);
    message->AddField("DirName", std::string(dir).c_str());
    if (!start.empty()) {
        message->AddField("TimeStart", std::string(start).c_str());
    }
    if (!end.empty()) {
        message->AddField("TimeEnd", std::string(end).c_str());
    }
    message->AddNumberField("Wait", 1);
    return SendRequest(std::move(message));
}

bool CXOMPDeviceOper::RequestSdDownload(std::string_view file) {
    auto message = NewRequest();
    message->AddNumberField("Type", 3);
    message->AddNumberField("Command_Param", kCommandSd);
    message->AddField("FileName", std::string(file).c_str());
    message->AddNumberField("nStartPos", -1);
    message->AddNumberField("nOffSet", -1);
    message->AddNumberField("Wait", 1);
    return SendRequest(std::move(message));
}

bool CXOMPDeviceOper::RequestSdHourDir(std::string_view name) {
    auto message = NewRequest();
    message->AddNumberField("Type", 7);
    message->AddNumberField("Command_Param", kCommandSd);
    message->AddField("DataHourDirName", std::string(name).c_str());
    message->AddNumberField("Wait", 1);
    return SendRequest(std::move(message));
}

// A request that only names its command and asks for an answer.
bool CXOMPDeviceOper::SendGetRequest(int command) {
    auto message = NewRequest();
    message->AddNumberField("Command_Param", command);
    message->AddNumberField("Wait", 1);
    return SendRequest(std::move(message));
}

bool CXOMPDeviceOper::RequestParameters() {
    return SendGetRequest(kCommandGetParameters);
}

bool CXOMPDeviceOper::SetParameters(const DevInfoBlock& block) {
    auto message = NewRequest();
    message->AddNumberField("Command_Param", kCommandSetParameters);
    message->AddField("DevInfo", &block, 7, static_cast<int>(sizeof block));
    return SendRequest(std::move(message));
}

bool CXOMPDeviceOper::RequestExtendedParameters() {
    return SendGetRequest(kCommandGetExtended);
}

bool CXOMPDeviceOper::SetExtendedParameters(const DevInfoExt& ext) {
    auto message = NewRequest();
    message->AddNumberField("Command_Param", kCommandSetExtended);
    message->AddField("DevInfo", &ext, 7, static_cast<int>(sizeof ext));
    return SendRequest(std::move(message));
}

bool CXOMPDeviceOper::RequestRfList() {
    return SendGetRequest(kCommandGetRf);
}

bool CXOMPDeviceOper::SetRfList(std::string_view list) {
    auto message = NewRequest();
    message->AddNumberField("Command_Param", kCommandSetRf);
    // An empty list (everything cleared) is sent as an empty value; the
    // message layer takes a length of 0 as "measure the text", which gives
    // the same empty value.
    std::string value(list);
    message->AddField("RfidInfo", value.c_str(), 8, static_cast<int>(value.size()));
    return SendRequest(std::move(message));
}

bool CXOMPDeviceOper::BeginSdDownload(const std::filesystem::path& localPath,
                                      std::string_view file) {
    {
        std::lock_guard lock(downloadMutex_);
        downloadFile_.reset(std::fopen(localPath.c_str(), "wb"));
        downloadName_ = file;
        downloadFailed_ = false;
        if (!downloadFile_) {
            return false;
        }
    }
    if (!RequestSdDownload(file)) {
        AbortSdDownload();
        return false;
    }
    return true;
}

void CXOMPDeviceOper::AbortSdDownload() {
    std::lock_guard lock(downloadMutex_);
    downloadFile_.reset();
    downloadFailed_ = false;
}

std::array<uint8_t, CXOMPDeviceOper::kParameterAreaSize> CXOMPDeviceOper::ParameterArea() const {
    std::lock_guard lock(dataMutex_);
    return parameterArea_;
}

DevInfoBlock CXOMPDeviceOper::Parameters() const {
    DevInfoBlock block;
    std::lock_guard lock(dataMutex_);
    std::memcpy(&block, parameterArea_.data(), sizeof block);
    return block;
}

DevInfoExt CXOMPDeviceOper::ExtendedParameters() const {
    std::lock_guard lock(dataMutex_);
    return extended_;
}

std::vector<struFileItem> CXOMPDeviceOper::DirList() const {
    std::lock_guard lock(dataMutex_);
    return dirList_;
}

std::vector<struFileItem> CXOMPDeviceOper::FileList() const {
    std::lock_guard lock(dataMutex_);
    return fileList_;
}

bool CXOMPDeviceOper::Downloading() const {
    std::lock_guard lock(downloadMutex_);
    return downloadFile_ != nullptr;
}

std::string CXOMPDeviceOper::DownloadName() const {
    std::lock_guard lock(downloadMutex_);
    return downloadName_;
}

}  // namespace orbisight
