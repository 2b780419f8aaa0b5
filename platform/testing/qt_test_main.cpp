// main() for GoogleTest suites that create widgets: the application object must
// exist before the first widget and outlive the last one. Widget tests always run
// headless, also when CTest lists them at build time.
#include <QApplication>
#include <QDir>

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    if (qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR")) {
        // Qt warns about a missing or shared runtime folder; give it a private one.
        const QString runtime =
            QDir::tempPath() + "/lobby-test-runtime-" + QString::number(getuid());
        QDir().mkpath(runtime);
        ::chmod(QFile::encodeName(runtime).constData(), 0700);
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime));
    }
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
