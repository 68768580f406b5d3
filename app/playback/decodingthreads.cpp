#include "decodingthreads.h"

#include <sys/resource.h>
#include <unistd.h>

namespace korvane {

namespace {

constexpr int decoderNiceness = 10;

// A thread lowered in priority cannot be raised again without privileges, so lowered threads
// must never serve other streaming tasks: they come from this pool only.
GstTaskPool *decodingPool()
{
    static GstTaskPool *const pool = [] {
        GstTaskPool *created = gst_task_pool_new();
        gst_task_pool_prepare(created, nullptr);
        return created;
    }();
    return pool;
}

} // namespace

void placeDecodingThread(GstMessage *streamStatus, const char *decoderName)
{
    GstStreamStatusType type = GST_STREAM_STATUS_TYPE_CREATE;
    GstElement *owner = nullptr;
    gst_message_parse_stream_status(streamStatus, &type, &owner);
    if (!owner || !g_str_equal(GST_OBJECT_NAME(owner), decoderName))
        return;
    if (type == GST_STREAM_STATUS_TYPE_CREATE) {
        const GValue *task = gst_message_get_stream_status_object(streamStatus);
        if (task && G_VALUE_HOLDS(task, GST_TYPE_TASK))
            gst_task_set_pool(GST_TASK(g_value_get_object(task)), decodingPool());
    } else if (type == GST_STREAM_STATUS_TYPE_ENTER) {
        setpriority(PRIO_PROCESS, static_cast<id_t>(gettid()), decoderNiceness);
    }
}

} // namespace korvane
