// Writes the program's icon into the hicolor theme's raster sizes, from the same drawing as the
// logo in the main window: makeicons OUTPUT_FOLDER ICON_NAME
#include "app/artwork.h"

#include <QGuiApplication>
#include <QString>

#include <cstdio>
#include <filesystem>

int main(int argc, char* argv[]) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: makeicons OUTPUT_FOLDER ICON_NAME\n");
        return 2;
    }
    // Painting needs no screen.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication application(argc, argv);
    for (const int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
        const std::string sizeFolder = std::to_string(size) + "x" + std::to_string(size);
        const std::filesystem::path folder =
            std::filesystem::path(argv[1]) / "hicolor" / sizeFolder / "apps";
        std::filesystem::create_directories(folder);
        const std::filesystem::path file = folder / (std::string(argv[2]) + ".png");
        if (!larkspur::artwork::icon(size).save(QString::fromStdString(file.string()), "PNG")) {
            std::fprintf(stderr, "makeicons: cannot write %s\n", file.c_str());
            return 1;
        }
    }
    return 0;
}
