#include "playback/decodingthreads.h"

#include <sys/resource.h>
#include <unistd.h>

namespace korvane {

namespace {

constexpr int decoderNiceness = 10;

// A task pool that gives every task a thread of its own, lowered in priority, and ends it with the
// task. GLib shares the idle threads of ordinary pools between all of them, and a lowered thread
// cannot be raised again without privileges: it must never go on to serve another task.
struct DecodingTaskPool
{
    GstTaskPool parent;
};

struct DecodingTaskPoolClass
{
    GstTaskPoolClass parent;
};

G_DEFINE_TYPE(DecodingTaskPool, decoding_task_pool, GST_TYPE_TASK_POOL)

struct DecodingTask
{
    GstTaskPoolFunction function;
    gpointer data;
};

gpointer runLowered(gpointer task)
{
    const DecodingTask decoding = *static_cast<DecodingTask *>(task);
    g_free(task);
    setpriority(PRIO_PROCESS, static_cast<id_t>(gettid()), decoderNiceness);
    decoding.function(decoding.data);
    return nullptr;
}

void prepareNothing(GstTaskPool *, GError **) {}
void cleanUpNothing(GstTaskPool *) {}

gpointer pushTask(GstTaskPool *, GstTaskPoolFunction function, gpointer data, GError **error)
{
    auto *task = g_new(DecodingTask, 1);
    *task = {function, data};
    GThread *thread = g_thread_try_new("decoder", runLowered, task, error);
    if (!thread)
        g_free(task);
    return thread;
}

void joinTask(GstTaskPool *, gpointer thread)
{
    g_thread_join(static_cast<GThread *>(thread));
}

void disposeTask(GstTaskPool *, gpointer thread)
{
    g_thread_unref(static_cast<GThread *>(thread));
}

void decoding_task_pool_class_init(DecodingTaskPoolClass *type)
{
    GstTaskPoolClass *pool = GST_TASK_POOL_CLASS(type);
    pool->prepare = prepareNothing;
    pool->cleanup = cleanUpNothing;
    pool->push = pushTask;
    pool->join = joinTask;
    pool->dispose_handle = disposeTask;
}

void decoding_task_pool_init(DecodingTaskPool *) {}

GstTaskPool *decodingPool()
{
    static GstTaskPool *const pool =
        GST_TASK_POOL(g_object_new(decoding_task_pool_get_type(), nullptr));
    return pool;
}

} // namespace

void placeDecodingThread(GstMessage *streamStatus, const char *decoderName)
{
    GstStreamStatusType type = GST_STREAM_STATUS_TYPE_CREATE;
    GstElement *owner = nullptr;
    gst_message_parse_stream_status(streamStatus, &type, &owner);
    if (type != GST_STREAM_STATUS_TYPE_CREATE || !owner ||
        !g_str_equal(GST_OBJECT_NAME(owner), decoderName))
        return;
    const GValue *task = gst_message_get_stream_status_object(streamStatus);
    if (task && G_VALUE_HOLDS(task, GST_TYPE_TASK))
        gst_task_set_pool(GST_TASK(g_value_get_object(task)), decodingPool());
}

} // namespace korvane
