#include "webtime/desktop_proxy.h"

#include <gio/gio.h>

#include <algorithm>
#include <memory>

namespace horalux {
namespace {

struct GObjectReleaser {
  void operator()(gpointer object) const noexcept { g_object_unref(object); }
};
struct MainContextReleaser {
  void operator()(GMainContext* context) const noexcept { g_main_context_unref(context); }
};
struct SourceReleaser {
  void operator()(GSource* source) const noexcept {
    g_source_destroy(source);
    g_source_unref(source);
  }
};
struct StringListReleaser {
  void operator()(gchar** list) const noexcept { g_strfreev(list); }
};
using StringList = std::unique_ptr<gchar*, StringListReleaser>;

// The lookup's own main context, the calling thread's default while it lasts, so that the
// lookup's callbacks run here and nowhere else (not in a window's main loop).
class ScopedThreadContext {
 public:
  ScopedThreadContext() : context_(g_main_context_new()) {
    g_main_context_push_thread_default(context_.get());
  }
  ScopedThreadContext(const ScopedThreadContext&) = delete;
  ScopedThreadContext& operator=(const ScopedThreadContext&) = delete;
  ~ScopedThreadContext() { g_main_context_pop_thread_default(context_.get()); }
  GMainContext* get() const { return context_.get(); }

 private:
  std::unique_ptr<GMainContext, MainContextReleaser> context_;
};

struct Lookup {
  StringList proxies;
  bool ended = false;
};

void OnLookedUp(GObject* resolver, GAsyncResult* result, gpointer data) {
  auto& lookup = *static_cast<Lookup*>(data);
  GError* error = nullptr;
  lookup.proxies.reset(g_proxy_resolver_lookup_finish(G_PROXY_RESOLVER(resolver), result, &error));
  // A failed lookup is no answer; the caller goes directly.
  if (error != nullptr) g_error_free(error);
  lookup.ended = true;
}

gboolean OnLimit(gpointer cancellable) {
  g_cancellable_cancel(G_CANCELLABLE(cancellable));
  return G_SOURCE_REMOVE;
}

}  // namespace

std::vector<std::string> DesktopProxiesFor(std::string_view url, std::chrono::milliseconds limit) {
  const std::string url_text(url);
  // GLib's own resolver, kept for the process, not ours to release. Taken before the lookup's
  // context is pushed, so that when it is made it hears of changes to the settings in the
  // process's main context, which a window's main loop runs, and not in a context that is gone.
  GProxyResolver* const resolver = g_proxy_resolver_get_default();
  ScopedThreadContext context;
  const std::unique_ptr<GCancellable, GObjectReleaser> cancellable(g_cancellable_new());
  Lookup lookup;
  g_proxy_resolver_lookup_async(resolver, url_text.c_str(), cancellable.get(), &OnLookedUp,
                                &lookup);
  const std::unique_ptr<GSource, SourceReleaser> timer(g_timeout_source_new(
      static_cast<guint>(std::clamp<std::chrono::milliseconds::rep>(limit.count(), 1, G_MAXUINT))));
  g_source_set_callback(timer.get(), &OnLimit, cancellable.get(), nullptr);
  g_source_attach(timer.get(), context.get());
  // A cancelled lookup still ends with its callback, which `lookup` must outlive.
  while (!lookup.ended) g_main_context_iteration(context.get(), TRUE);

  std::vector<std::string> proxies;
  if (lookup.proxies) {
    for (gchar** proxy = lookup.proxies.get(); *proxy != nullptr; ++proxy) {
      proxies.emplace_back(*proxy);
    }
  }
  if (proxies.empty()) proxies.emplace_back("direct://");
  return proxies;
}

}  // namespace horalux
