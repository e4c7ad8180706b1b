#pragma once

#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>

#include "records/cloud/RK_ORBCSClient.h"

namespace orbisight {

// The cloud-storage client library, loaded at run time: the program's own
// libRK_ORBCSClient.so beside the executable (the build folder) or in the
// installed tree's lib/orbisight, or the file named by the environment
// variable ORBISIGHT_CLOUD_LIBRARY. All fourteen functions must
// be there; when the file or one function is missing, Load fails and
// nothing of the library is ever called (cloud storage is unavailable).
class CloudStorageLibrary {
  public:
    struct Functions {
        decltype(&GORBCSClient_Init) init = nullptr;
        decltype(&GORBCSClient_Fini) fini = nullptr;
        decltype(&GORBCSClient_Create) create = nullptr;
        decltype(&GORBCSClient_Destroy) destroy = nullptr;
        decltype(&GORBCSClient_Connect) connect = nullptr;
        decltype(&GORBCSClient_Disconnect) disconnect = nullptr;
        decltype(&GORBCSClient_IsConnect) isConnect = nullptr;
        decltype(&GORBCSClient_Query_Count_Video) queryCountVideo = nullptr;
        decltype(&GORBCSClient_Query_Data_Video) queryDataVideo = nullptr;
        decltype(&GORBCSClient_Query_Count_Event) queryCountEvent = nullptr;
        decltype(&GORBCSClient_Query_Data_Event) queryDataEvent = nullptr;
        decltype(&GORBCSClient_Download_Info_Video) downloadInfoVideo = nullptr;
        decltype(&GORBCSClient_Download_Data_Video) downloadDataVideo = nullptr;
        decltype(&GORBCSlient_Release_Data) releaseData = nullptr;
    };

    static constexpr const char* kFileName = "libRK_ORBCSClient.so";
    static constexpr const char* kEnvironment = "ORBISIGHT_CLOUD_LIBRARY";

    // The folder of the running program (of /proc/self/exe), with a
    // trailing "/"; empty when it cannot be read.
    static std::string ProgramFolder();
    // $ORBISIGHT_CLOUD_LIBRARY when set, else PathFor(ProgramFolder()).
    static std::string DefaultPath();
    // The library of a program folder: the file beside the program when it
    // is there, else the installed one (../lib/orbisight); when neither
    // exists, the one beside the program. Empty for an unknown folder: the
    // current directory is never searched.
    static std::string PathFor(const std::string& programFolder);

    // Opens the file and looks up every function. Null with the reason when
    // the file or a function is missing.
    static std::unique_ptr<CloudStorageLibrary> Load(const std::string& path, std::string& error);
    // Load(DefaultPath()), then Init(ProgramFolder()).
    static std::unique_ptr<CloudStorageLibrary> LoadAndInit(std::string& error);

    // Finalises the library (when initialised) and unloads it. Calls still
    // running on other threads are waited for a short while; when they do
    // not end, the library stays mapped rather than pulled from under them.
    ~CloudStorageLibrary();
    CloudStorageLibrary(const CloudStorageLibrary&) = delete;
    CloudStorageLibrary& operator=(const CloudStorageLibrary&) = delete;

    // GORBCSClient_Init(folder, 0), once; later calls return the first result.
    int Init(const std::string& programFolder);

    const Functions& Api() const { return api_; }
    const std::string& Path() const { return path_; }

    // Threads that call into the library hold a Use for as long as they
    // may; the destructor waits for them.
    class Use {
      public:
        explicit Use(CloudStorageLibrary& library);
        ~Use();
        Use(const Use&) = delete;
        Use& operator=(const Use&) = delete;

      private:
        CloudStorageLibrary& library_;
    };

    // A short text for an ORBCS_E_* code.
    static std::string ErrorText(int code);

  private:
    CloudStorageLibrary() = default;

    void* handle_ = nullptr;
    std::string path_;
    Functions api_;
    bool initialised_ = false;
    int initResult_ = 0;

    std::mutex mutex_;
    std::condition_variable idle_;
    int users_ = 0;  // protected by mutex_
};

}  // namespace orbisight
