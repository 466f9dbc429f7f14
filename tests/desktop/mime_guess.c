/* Prints the MIME type that the shared MIME database gives a file, sniffing its whole
   content (file managers read only its start). Usage: mime_guess FILE [NAME]; NAME is the
   file name to guess from (default: FILE's), "-" for none. */
#include <gio/gio.h>
#include <stdio.h>
#include <string.h>

int main(int argc, char** argv) {
    if (argc < 2) {
        fprintf(stderr, "usage: mime_guess FILE [NAME]\n");
        return 2;
    }
    gchar* data = NULL;
    gsize size = 0;
    GError* error = NULL;
    if (!g_file_get_contents(argv[1], &data, &size, &error)) {
        fprintf(stderr, "mime_guess: %s\n", error->message);
        return 1;
    }
    const char* name = argc > 2 ? argv[2] : argv[1];
    if (!strcmp(name, "-")) name = NULL;
    gchar* type = g_content_type_guess(name, (const guchar*)data, size, NULL);
    printf("%s\n", type);
    g_free(type);
    g_free(data);
    return 0;
}
