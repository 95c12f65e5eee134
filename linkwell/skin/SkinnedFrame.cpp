#include "linkwell/skin/SkinnedFrame.h"

#include <gtk/gtk.h>

#include <algorithm>

namespace linkwell
{

SkinnedFrame::SkinnedFrame(const SkinBitmapSource& source)
{
    bitmaps_.Load(source);
    geometry_ = std::make_unique<SkinGeometry>(bitmaps_.Sizes());
    pointer_ = std::make_unique<SkinPointer>(*geometry_);
}

SkinnedFrame::~SkinnedFrame()
{
    Detach();
}

bool SkinnedFrame::Attach(GtkWindow* window, GtkWidget* content, std::function<std::string()> statusText,
                          std::function<void()> onClose)
{
    if (!bitmaps_.Loaded() || window == nullptr)
        return false;
    Detach();
    window_ = window;
    // The window may go before the frame does; the pointer is then cleared.
    g_object_add_weak_pointer(G_OBJECT(window_), reinterpret_cast<gpointer*>(&window_));
    content_ = content;
    statusText_ = std::move(statusText);
    onClose_ = std::move(onClose);

    GtkWidget* widget = GTK_WIDGET(window_);
    gtk_window_set_decorated(window_, FALSE);
    gtk_widget_set_app_paintable(widget, TRUE);
    gtk_widget_add_events(widget, GDK_BUTTON_PRESS_MASK | GDK_BUTTON_RELEASE_MASK | GDK_POINTER_MOTION_MASK |
                                      GDK_LEAVE_NOTIFY_MASK);
    // After the window's own drawing, so the frame lies over its background.
    g_signal_connect_after(widget, "draw", G_CALLBACK(onDraw), this);
    g_signal_connect(widget, "button-press-event", G_CALLBACK(onPointer), this);
    g_signal_connect(widget, "button-release-event", G_CALLBACK(onPointer), this);
    g_signal_connect(widget, "motion-notify-event", G_CALLBACK(onPointer), this);
    g_signal_connect(widget, "leave-notify-event", G_CALLBACK(onPointer), this);

    const SkinSize minimum = geometry_->MinimumSize();
    GdkGeometry hints{};
    hints.min_width = minimum.width;
    hints.min_height = minimum.height;
    gtk_window_set_geometry_hints(window_, nullptr, &hints, GDK_HINT_MIN_SIZE);

    // The content rectangle starts at the left edge's width and the caption
    // height; what is left of the client beyond the inner size is the same at
    // every size, so fixed margins keep the content in place as the window resizes.
    if (content_ != nullptr)
    {
        const SkinSize* s = bitmaps_.Sizes().data();
        const auto margin = [](int32_t value) { return std::clamp<int32_t>(value, 0, G_MAXINT16); };
        gtk_widget_set_margin_start(content_, margin(s[kSkinLeftEdge].width));
        gtk_widget_set_margin_top(content_, margin(s[kSkinTopEdge].height));
        gtk_widget_set_margin_end(
            content_, margin(s[kSkinTopLeft].width + s[kSkinTopRight].width - s[kSkinLeftEdge].width));
        gtk_widget_set_margin_bottom(
            content_, margin(s[kSkinTopLeft].height + s[kSkinBottomLeft].height - s[kSkinTopEdge].height));
    }
    gtk_widget_queue_draw(widget);
    return true;
}

bool SkinnedFrame::Detach()
{
    if (window_ == nullptr)
        return true;
    GtkWidget* widget = GTK_WIDGET(window_);
    g_signal_handlers_disconnect_by_data(widget, this);
    g_object_remove_weak_pointer(G_OBJECT(window_), reinterpret_cast<gpointer*>(&window_));
    gtk_window_set_decorated(window_, TRUE);
    gtk_widget_set_app_paintable(widget, FALSE);
    if (content_ != nullptr)
    {
        gtk_widget_set_margin_start(content_, 0);
        gtk_widget_set_margin_top(content_, 0);
        gtk_widget_set_margin_end(content_, 0);
        gtk_widget_set_margin_bottom(content_, 0);
    }
    gtk_widget_queue_draw(widget);
    window_ = nullptr;
    content_ = nullptr;
    return true;
}

void SkinnedFrame::Invalidate()
{
    if (window_ != nullptr)
        gtk_widget_queue_draw(GTK_WIDGET(window_));
}

void SkinnedFrame::Paint(cairo_t* cr, int width, int height) const
{
    if (!bitmaps_.Loaded())
        return;
    for (const SkinPaint& paint : geometry_->Paints(width, height, pointer_->CloseFrame()))
    {
        if (paint.target.width <= 0 || paint.target.height <= 0 || paint.source.width <= 0 ||
            paint.source.height <= 0)
            continue;
        cairo_save(cr);
        cairo_rectangle(cr, paint.target.x, paint.target.y, paint.target.width, paint.target.height);
        cairo_clip(cr);
        cairo_translate(cr, paint.target.x, paint.target.y);
        cairo_scale(cr, static_cast<double>(paint.target.width) / paint.source.width,
                    static_cast<double>(paint.target.height) / paint.source.height);
        gdk_cairo_set_source_pixbuf(cr, bitmaps_.Bitmap(paint.bitmap), -paint.source.x, -paint.source.y);
        // Plain copies, as the pieces are laid edge to edge.
        cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_NEAREST);
        cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
        cairo_paint(cr);
        cairo_restore(cr);
    }

    const std::string text = statusText_ ? statusText_() : std::string();
    if (text.empty())
        return;
    cairo_save(cr);
    cairo_select_font_face(cr, "sans-serif", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_BOLD);
    cairo_set_font_size(cr, 16);
    cairo_font_extents_t extents;
    cairo_font_extents(cr, &extents);
    cairo_set_source_rgb(cr, 1, 1, 1);
    // The text's top sits 20 pixels above the bottom.
    cairo_move_to(cr, 5, height - 20 + extents.ascent);
    cairo_show_text(cr, text.c_str());
    cairo_restore(cr);
}

int SkinnedFrame::onDraw(GtkWidget* widget, cairo_t* cr, void* self)
{
    static_cast<SkinnedFrame*>(self)->Paint(cr, gtk_widget_get_allocated_width(widget),
                                            gtk_widget_get_allocated_height(widget));
    return FALSE;
}

int SkinnedFrame::onPointer(GtkWidget* widget, GdkEvent* event, void* self)
{
    SkinnedFrame* frame = static_cast<SkinnedFrame*>(self);
    const int width = gtk_widget_get_allocated_width(widget);
    switch (event->type)
    {
    case GDK_BUTTON_PRESS:
        if (event->button.button != GDK_BUTTON_PRIMARY)
            return FALSE;
        frame->act(frame->pointer_->Press(width, static_cast<int32_t>(event->button.x),
                                          static_cast<int32_t>(event->button.y)),
                   event);
        return TRUE;
    case GDK_BUTTON_RELEASE:
        if (event->button.button != GDK_BUTTON_PRIMARY)
            return FALSE;
        frame->act(frame->pointer_->Release(width, static_cast<int32_t>(event->button.x),
                                            static_cast<int32_t>(event->button.y)),
                   event);
        return TRUE;
    case GDK_MOTION_NOTIFY:
        frame->act(frame->pointer_->Motion(width, static_cast<int32_t>(event->motion.x),
                                           static_cast<int32_t>(event->motion.y)),
                   event);
        return FALSE;
    case GDK_LEAVE_NOTIFY:
        frame->pointer_->Leave();
        frame->Invalidate();
        return FALSE;
    default:
        return FALSE;
    }
}

void SkinnedFrame::act(SkinPointer::Action action, GdkEvent* event)
{
    switch (action)
    {
    case SkinPointer::Action::Nothing:
        break;
    case SkinPointer::Action::Repaint:
        Invalidate();
        break;
    case SkinPointer::Action::StartMove:
        gtk_window_begin_move_drag(window_, static_cast<gint>(event->button.button),
                                   static_cast<gint>(event->button.x_root),
                                   static_cast<gint>(event->button.y_root), event->button.time);
        break;
    case SkinPointer::Action::Close:
        Invalidate();
        if (onClose_)
            onClose_();
        break;
    }
}

} // namespace linkwell
