// Dialog templates and images, registered by each program at start. A
// replaced entry is kept alive, so a pointer handed out earlier stays valid.
#include <map>
#include <memory>
#include <mutex>

#include "platform/ui/ui.h"

namespace {

struct Resources {
    std::mutex mutex;
    std::map<int, std::shared_ptr<const DialogTemplate>> templates;
    std::map<int, std::shared_ptr<const std::vector<unsigned char>>> images;
    std::vector<std::shared_ptr<const void>> replaced;
};

Resources& State() {
    static Resources* resources = new Resources;
    return *resources;
}

}  // namespace

ControlTemplate MakeControl(ControlKind kind, int id, const std::string& text, int x, int y, int cx,
                            int cy, DWORD style, int imageId) {
    ControlTemplate c;
    c.kind = kind;
    c.id = id;
    c.text = text;
    c.x = x;
    c.y = y;
    c.cx = cx;
    c.cy = cy;
    c.style = style;
    c.imageId = imageId;
    return c;
}

DialogTemplate MakeDialog(int id, const std::string& title, int cx, int cy, DWORD style,
                          const std::string& fontName, int fontSize) {
    DialogTemplate d;
    d.id = id;
    d.title = title;
    d.cx = cx;
    d.cy = cy;
    d.style = style;
    d.fontName = fontName;
    d.fontSize = fontSize;
    return d;
}

void RegisterDialogTemplate(const DialogTemplate& tmpl) {
    auto entry = std::make_shared<const DialogTemplate>(tmpl);
    std::lock_guard<std::mutex> lock(State().mutex);
    auto& slot = State().templates[tmpl.id];
    if (slot) {
        State().replaced.push_back(slot);
    }
    slot = std::move(entry);
}

const DialogTemplate* FindDialogTemplate(int id) {
    std::lock_guard<std::mutex> lock(State().mutex);
    auto it = State().templates.find(id);
    return it == State().templates.end() ? nullptr : it->second.get();
}

void RegisterImage(int id, std::vector<unsigned char> png) {
    auto entry = std::make_shared<const std::vector<unsigned char>>(std::move(png));
    std::lock_guard<std::mutex> lock(State().mutex);
    auto& slot = State().images[id];
    if (slot) {
        State().replaced.push_back(slot);
    }
    slot = std::move(entry);
}

const std::vector<unsigned char>* FindImage(int id) {
    std::lock_guard<std::mutex> lock(State().mutex);
    auto it = State().images.find(id);
    return it == State().images.end() ? nullptr : it->second.get();
}
