#include "records/CloudStorageLibrary.h"

#include <dlfcn.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "platform/ProgramFiles.h"

namespace orbisight {

namespace {
// How long the unload waits for calls still running elsewhere.
constexpr auto kUnloadWait = std::chrono::seconds(3);

template <typename F>
bool Lookup(void* handle, const char* name, F& out, std::string& missing) {
    dlerror();
    void* symbol = dlsym(handle, name);
    if (symbol == nullptr) {
        if (missing.empty()) {
            missing = name;
        }
        return false;
    }
    out = reinterpret_cast<F>(symbol);
    return true;
}
}  // namespace

std::string CloudStorageLibrary::ProgramFolder() {
    std::string folder = orbisight::ProgramFolder().string();
    if (!folder.empty() && folder.back() != '/') {
        folder += '/';
    }
    return folder;
}

std::string CloudStorageLibrary::DefaultPath() {
    if (const char* path = std::getenv(kEnvironment); path != nullptr && *path != '\0') {
        return path;
    }
    return PathFor(ProgramFolder());
}

std::string CloudStorageLibrary::PathFor(const std::string& programFolder) {
    if (programFolder.empty()) {
        return {};
    }
    std::filesystem::path folder(programFolder);
    return FirstExisting({folder / kFileName, InstalledLibraryFolder(folder) / kFileName}).string();
}

std::unique_ptr<CloudStorageLibrary> CloudStorageLibrary::Load(const std::string& path,
                                                               std::string& error) {
    if (path.empty()) {
        error = std::string("cannot find ") + kFileName + ": the program's folder is unknown";
        return nullptr;
    }
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) {
        const char* reason = dlerror();
        error = "cannot load " + path + ": " + (reason != nullptr ? reason : "unknown error");
        return nullptr;
    }
    Functions api;
    std::string missing;
    bool all = true;
    all &= Lookup(handle, "GORBCSClient_Init", api.init, missing);
    all &= Lookup(handle, "GORBCSClient_Fini", api.fini, missing);
    all &= Lookup(handle, "GORBCSClient_Create", api.create, missing);
    all &= Lookup(handle, "GORBCSClient_Destroy", api.destroy, missing);
    all &= Lookup(handle, "GORBCSClient_Connect", api.connect, missing);
    all &= Lookup(handle, "GORBCSClient_Disconnect", api.disconnect, missing);
    all &= Lookup(handle, "GORBCSClient_IsConnect", api.isConnect, missing);
    all &= Lookup(handle, "GORBCSClient_Query_Count_Video", api.queryCountVideo, missing);
    all &= Lookup(handle, "GORBCSClient_Query_Data_Video", api.queryDataVideo, missing);
    all &= Lookup(handle, "GORBCSClient_Query_Count_Event", api.queryCountEvent, missing);
    all &= Lookup(handle, "GORBCSClient_Query_Data_Event", api.queryDataEvent, missing);
    all &= Lookup(handle, "GORBCSClient_Download_Info_Video", api.downloadInfoVideo, missing);
    all &= Lookup(handle, "GORBCSClient_Download_Data_Video", api.downloadDataVideo, missing);
    all &= Lookup(handle, "GORBCSlient_Release_Data", api.releaseData, missing);
    if (!all) {
        dlclose(handle);
        error = path + " lacks the function " + missing;
        return nullptr;
    }
    std::unique_ptr<CloudStorageLibrary> library(new CloudStorageLibrary);
    library->handle_ = handle;
    library->path_ = path;
    library->api_ = api;
    return library;
}

std::unique_ptr<CloudStorageLibrary> CloudStorageLibrary::LoadAndInit(std::string& error) {
    auto library = Load(DefaultPath(), error);
    if (library) {
        library->Init(ProgramFolder());
    }
    return library;
}

int CloudStorageLibrary::Init(const std::string& programFolder) {
    std::lock_guard lock(mutex_);
    if (!initialised_) {
        initResult_ = api_.init(programFolder.c_str(), 0);
        initialised_ = true;
    }
    return initResult_;
}

CloudStorageLibrary::~CloudStorageLibrary() {
    bool idle;
    {
        std::unique_lock lock(mutex_);
        idle = idle_.wait_for(lock, kUnloadWait, [this] { return users_ == 0; });
    }
    if (!idle) {
        std::fprintf(stderr,
                     "orbisight: cloud storage calls still running at exit; %s stays loaded\n",
                     path_.c_str());
        return;
    }
    if (initialised_) {
        api_.fini();
    }
    dlclose(handle_);
}

CloudStorageLibrary::Use::Use(CloudStorageLibrary& library) : library_(library) {
    std::lock_guard lock(library_.mutex_);
    ++library_.users_;
}

CloudStorageLibrary::Use::~Use() {
    std::lock_guard lock(library_.mutex_);
    if (--library_.users_ == 0) {
        library_.idle_.notify_all();
    }
}

std::string CloudStorageLibrary::ErrorText(int code) {
    switch (code) {
        case ORBCS_OK:
            return "success";
        case ORBCS_E_ARGUMENT:
            return "invalid argument";
        case ORBCS_E_NOT_INIT:
            return "library not initialised";
        case ORBCS_E_CONNECT:
            return "the server could not be reached";
        case ORBCS_E_NETWORK:
            return "the connection was lost";
        case ORBCS_E_TIMEOUT:
            return "the server stopped answering (time-out)";
        case ORBCS_E_PROTOCOL:
            return "the server's answer is malformed";
        case ORBCS_E_REFUSED:
            return "the server refused the request";
        case ORBCS_E_TOO_LARGE:
            return "the server sent more data than declared";
        case ORBCS_E_SIZE_MISMATCH:
            return "the server sent less data than declared";
        case ORBCS_E_NOT_CONNECTED:
            return "not connected";
        case ORBCS_E_NO_MEMORY:
            return "out of memory";
        case ORBCS_E_NOT_FOUND:
            return "no such recording";
        default:
            return "error " + std::to_string(code);
    }
}

}  // namespace orbisight
