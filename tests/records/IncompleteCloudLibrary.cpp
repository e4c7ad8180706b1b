// A cloud-storage library that lacks one function (GORBCSlient_Release_Data)
// and counts every call made into it: loading it must fail before anything
// is called.

#include "records/cloud/RK_ORBCSClient.h"

extern "C" {
int incomplete_calls = 0;

int GORBCSClient_Init(const char*, int) {
    return ++incomplete_calls, 0;
}
int GORBCSClient_Fini(void) {
    return ++incomplete_calls, 0;
}
int GORBCSClient_Create(ORBCS_HANDLE*) {
    return ++incomplete_calls, -1;
}
int GORBCSClient_Destroy(ORBCS_HANDLE) {
    return ++incomplete_calls, 0;
}
int GORBCSClient_Connect(ORBCS_HANDLE, const char*, const char*, const char*, const char*) {
    return ++incomplete_calls, -1;
}
int GORBCSClient_Disconnect(ORBCS_HANDLE) {
    return ++incomplete_calls, 0;
}
int GORBCSClient_IsConnect(ORBCS_HANDLE) {
    return ++incomplete_calls, 0;
}
int GORBCSClient_Query_Count_Video(ORBCS_HANDLE, const char*, int*) {
    return ++incomplete_calls, -1;
}
int GORBCSClient_Query_Data_Video(ORBCS_HANDLE, const char*, const char*, int, int, int*, char**,
                                  int*) {
    return ++incomplete_calls, -1;
}
int GORBCSClient_Query_Count_Event(ORBCS_HANDLE, const char*, int*) {
    return ++incomplete_calls, -1;
}
int GORBCSClient_Query_Data_Event(ORBCS_HANDLE, const char*, const char*, int, int, int*, char**,
                                  int*) {
    return ++incomplete_calls, -1;
}
int GORBCSClient_Download_Info_Video(ORBCS_HANDLE, int, int, int*, int*, int*) {
    return ++incomplete_calls, -1;
}
int GORBCSClient_Download_Data_Video(ORBCS_HANDLE, int, int, int, int, int, int*, char**, int*) {
    return ++incomplete_calls, -1;
}
}
