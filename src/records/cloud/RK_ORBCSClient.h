/* The cloud-storage client library: the calls the program makes to query and
 * download a camera's cloud recordings. Built in this repository as
 * libRK_ORBCSClient.so and loaded at run time (records/CloudStorageLibrary.h);
 * the wire protocol to the cloud storage server is in docs/cloud-protocol.md.
 *
 * Every function returns ORBCS_OK (0) on success or one of the negative
 * ORBCS_E_* codes. Texts are NUL-terminated. Data blocks handed out by the
 * library belong to the caller until given back to GORBCSlient_Release_Data.
 * Calls on one handle are serialised inside the library; different handles
 * work independently. */
#ifndef RK_ORBCSCLIENT_H
#define RK_ORBCSCLIENT_H

#ifdef __cplusplus
extern "C" {
#endif

typedef void* ORBCS_HANDLE;

#define ORBCS_OK 0
#define ORBCS_E_ARGUMENT (-1)      /* a missing or malformed argument */
#define ORBCS_E_NOT_INIT (-2)      /* GORBCSClient_Init has not been called */
#define ORBCS_E_CONNECT (-3)       /* the server could not be reached */
#define ORBCS_E_NETWORK (-4)       /* the connection failed or was closed */
#define ORBCS_E_TIMEOUT (-5)       /* no answer within the TORW time-out */
#define ORBCS_E_PROTOCOL (-6)      /* the server's answer breaks the protocol */
#define ORBCS_E_REFUSED (-7)       /* the server refused the request */
#define ORBCS_E_TOO_LARGE (-8)     /* an answer larger than its limit */
#define ORBCS_E_SIZE_MISMATCH (-9) /* data length differs from the declared size */
#define ORBCS_E_NOT_CONNECTED (-10)
#define ORBCS_E_NO_MEMORY (-11)
#define ORBCS_E_NOT_FOUND (-12) /* no such recording on the server */

/* Start-up and exit of the library: once each per process. */
int GORBCSClient_Init(const char* programFolder, int flags);
int GORBCSClient_Fini(void);

/* A connection object: created unconnected. */
int GORBCSClient_Create(ORBCS_HANDLE* handle);
int GORBCSClient_Destroy(ORBCS_HANDLE handle);

/* param: "AddrRemote[=]host:port[|]TOConnect[=]S[|]TORW[=]S[|]" (seconds).
 * Logs in as user/password on behalf of the camera cameraId. */
int GORBCSClient_Connect(ORBCS_HANDLE handle, const char* param, const char* user,
                         const char* password, const char* cameraId);
int GORBCSClient_Disconnect(ORBCS_HANDLE handle);
/* Non-zero while connected. */
int GORBCSClient_IsConnect(ORBCS_HANDLE handle);

/* condition: "video_time >= START and video_time <= END". *count is -1 on
 * failure. */
int GORBCSClient_Query_Count_Video(ORBCS_HANDLE handle, const char* condition, int* count);
/* fields: comma-separated field names. Returns up to `limit` records from
 * `offset` as an XML text (*data, *length bytes, NUL-terminated as well):
 * <videos><video><video_time>..</video_time>...</video>...</videos>. */
int GORBCSClient_Query_Data_Video(ORBCS_HANDLE handle, const char* condition, const char* fields,
                                  int offset, int limit, int* found, char** data, int* length);
int GORBCSClient_Query_Count_Event(ORBCS_HANDLE handle, const char* condition, int* count);
int GORBCSClient_Query_Data_Event(ORBCS_HANDLE handle, const char* condition, const char* fields,
                                  int offset, int limit, int* found, char** data, int* length);

/* *info1: the file's size in bytes; *info2: its status; *info3: the
 * server's token for the download. */
int GORBCSClient_Download_Info_Video(ORBCS_HANDLE handle, int videoTime, int videoType, int* info1,
                                     int* info2, int* info3);
/* token: info3; size: info1. The whole file from `offset` comes back in
 * *data (*length bytes, exactly `size` - offset); *unused is set to 0. */
int GORBCSClient_Download_Data_Video(ORBCS_HANDLE handle, int token, int videoTime, int videoType,
                                     int offset, int size, int* unused, char** data, int* length);

/* Gives back a data block returned by the library. */
int GORBCSlient_Release_Data(ORBCS_HANDLE handle, char* data);

#ifdef __cplusplus
}
#endif

#endif
