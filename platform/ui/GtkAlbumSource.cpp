#include "platform/ui/GtkAlbumSource.h"

#include "platform/core/Log.h"

#include <gtk/gtk.h>

namespace ui {
namespace {

class GtkAlbumSource final : public ImagePickerSource {
public:
    explicit GtkAlbumSource(GtkWindow* parent) : parent_(parent) {}
    ~GtkAlbumSource() override { close(); }

    bool isAvailable() override { return parent_ != nullptr; }

    void begin(const std::shared_ptr<ImagePickerController>& picker) override {
        close();
        picker_ = picker;
        chooser_ = gtk_file_chooser_native_new(kAlbumChooserTitle, parent_, GTK_FILE_CHOOSER_ACTION_OPEN, nullptr, nullptr);
        gtk_native_dialog_set_modal(GTK_NATIVE_DIALOG(chooser_), TRUE);
        gtk_native_dialog_set_transient_for(GTK_NATIVE_DIALOG(chooser_), parent_);
        GtkFileChooser* files = GTK_FILE_CHOOSER(chooser_);
        gtk_file_chooser_set_local_only(files, TRUE);
        gtk_file_chooser_set_select_multiple(files, FALSE);
        GtkFileFilter* filter = gtk_file_filter_new();
        gtk_file_filter_set_name(filter, "PNG / JPEG");
        for (const char* type : {"image/png", "image/jpeg"}) gtk_file_filter_add_mime_type(filter, type);
        for (const char* pattern : {"*.png", "*.PNG", "*.jpg", "*.JPG", "*.jpeg", "*.JPEG"}) gtk_file_filter_add_pattern(filter, pattern);
        gtk_file_chooser_add_filter(files, filter);
        if (const char* pictures = g_get_user_special_dir(G_USER_DIRECTORY_PICTURES))
            gtk_file_chooser_set_current_folder(files, pictures);
        g_signal_connect(chooser_, "response", G_CALLBACK(&GtkAlbumSource::onResponse), this);
        gtk_native_dialog_show(GTK_NATIVE_DIALOG(chooser_));
    }

    void end(ImagePickerController&) override { close(); }

private:
    static void onResponse(GtkNativeDialog* dialog, gint response, gpointer data) {
        auto* self = static_cast<GtkAlbumSource*>(data);
        auto picker = self->picker_.lock();
        std::string path;
        if (response == GTK_RESPONSE_ACCEPT) {
            if (gchar* name = gtk_file_chooser_get_filename(GTK_FILE_CHOOSER(dialog))) {
                path = name;
                g_free(name);
            }
        }
        self->close();
        if (!picker) return;
        if (!path.empty()) picker->deliverFile(path);
        else picker->deliverCancel();
    }

    void close() {
        if (!chooser_) return;
        g_signal_handlers_disconnect_by_data(chooser_, this);
        gtk_native_dialog_destroy(GTK_NATIVE_DIALOG(chooser_));
        g_object_unref(chooser_);
        chooser_ = nullptr;
    }

    GtkWindow* parent_;
    GtkFileChooserNative* chooser_ = nullptr;
    std::weak_ptr<ImagePickerController> picker_;
};

} // namespace

std::shared_ptr<ImagePickerSource> makeGtkAlbumSource(void* parent) {
    return std::make_shared<GtkAlbumSource>(static_cast<GtkWindow*>(parent));
}

} // namespace ui
