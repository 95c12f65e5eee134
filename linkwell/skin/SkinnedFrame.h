// A window frame drawn from the skin module's bitmaps in place of the window
// manager's: corners, stretched edges, a caption piece and a three-state close
// button, with the window moved by dragging its top edge. When any bitmap is
// missing the frame never attaches and the window keeps its own decorations.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "linkwell/skin/SkinBitmaps.h"
#include "linkwell/skin/SkinGeometry.h"

typedef struct _GtkWidget GtkWidget;
typedef struct _GtkWindow GtkWindow;
typedef struct _cairo cairo_t;
typedef union _GdkEvent GdkEvent;

namespace linkwell
{

class SkinnedFrame
{
public:
    // Loads the ten bitmaps from the source; an empty source leaves it unloaded.
    explicit SkinnedFrame(const SkinBitmapSource& source);
    ~SkinnedFrame();
    SkinnedFrame(const SkinnedFrame&) = delete;
    SkinnedFrame& operator=(const SkinnedFrame&) = delete;

    bool Loaded() const { return bitmaps_.Loaded(); }
    const SkinBitmaps& Bitmaps() const { return bitmaps_; }

    // Takes over the window's frame: undecorated, painted by the frame, the
    // content (the window's only child) kept inside the frame, a minimum size.
    // statusText is drawn in the bottom edge; onClose runs on a release inside
    // the close button. False when the bitmaps did not load.
    bool Attach(GtkWindow* window, GtkWidget* content, std::function<std::string()> statusText,
                std::function<void()> onClose);
    // Gives the window its own frame back; true when no longer attached.
    bool Detach();
    bool Attached() const { return window_ != nullptr; }

    const SkinGeometry& Geometry() const { return *geometry_; }
    // Repaints after the status text changed.
    void Invalidate();

    // Draws the frame and the status text for a client size (the window's draw handler).
    void Paint(cairo_t* cr, int width, int height) const;

private:
    static int onDraw(GtkWidget* widget, cairo_t* cr, void* self);
    static int onPointer(GtkWidget* widget, GdkEvent* event, void* self);
    void act(SkinPointer::Action action, GdkEvent* event);

    SkinBitmaps bitmaps_;
    std::unique_ptr<SkinGeometry> geometry_;
    std::unique_ptr<SkinPointer> pointer_;
    GtkWindow* window_ = nullptr;
    GtkWidget* content_ = nullptr;
    std::function<std::string()> statusText_;
    std::function<void()> onClose_;
};

} // namespace linkwell
