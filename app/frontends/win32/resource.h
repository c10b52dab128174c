/* Numbers of the resources and controls for kelvod.rc (the resource
   compiler reads C only); win32.cpp checks them against app/dialogue/ids.h. */
#define KV_ICON_MAIN 102
#define KV_TEMPLATE_OVERWRITE 108
#define KV_TEMPLATE_EXTRACT 109
#define KV_TEMPLATE_MAKE 110
#define KV_TEMPLATE_RETRY 111

#define KV_ID_OK 1
#define KV_ID_CANCEL 2
#define KV_ID_ABORT 3
#define KV_ID_FORCE_STOP 4
#define KV_SOURCE_FIELD 1002
#define KV_DESTINATION_FIELD 1004
#define KV_BROWSE_BUTTON 1005
#define KV_FROM_LINE 1009
#define KV_TO_LINE 1011
#define KV_PROGRESS_BAR 1017
#define KV_PERCENT_TEXT 1018
#define KV_OVERWRITE_FILE_NAME 1021
#define KV_RETRY_FILE_NAME 1022
#define KV_RETRY_REASON 1023
