// klikctl cameras / klikctl camera props|set|shoot|liveview: the still camera
// from the command line, over the simulated camera (--sim [FILE]) or a real
// one through libgphoto2 (--camera gphoto2 [--port PORT]).

#include <atomic>
#include <iostream>
#include <thread>

#include "camera/CamTables.h"
#include "camera/CameraNotifications.h"
#include "camera/GLIMRA_Camera.h"
#include "camera/QZNSImageFlipped.h"
#include "camera/gphoto2/GPhotoBackend.h"
#include "camera/sim/SimCamSDK.h"
#include "foundation/PropertyList.h"
#include "foundation/ThreadRunLoop.h"
#include "tools/Command.h"

namespace klik::tools {

namespace {

// Picks the backend from "--sim [FILE]" or "--camera gphoto2 [--port PORT]"
// (the simulated camera when neither is given); false with a message on bad
// input.
bool chooseBackend(Args& args, std::string& error) {
    SimConfig config;
    std::string camera, port;
    for (size_t i = 0; i + 1 < args.size();) {
        if (args[i] == "--camera" || args[i] == "--port") {
            (args[i] == "--camera" ? camera : port) = args[i + 1];
            args.erase(args.begin() + static_cast<long>(i),
                       args.begin() + static_cast<long>(i) + 2);
        } else {
            ++i;
        }
    }
    if (!camera.empty() || !port.empty()) {
        if (camera != "gphoto2") {
            error = "--camera takes gphoto2 (or use --sim [FILE])";
            return false;
        }
        std::shared_ptr<CamSDK> sdk = makeGPhotoSDK(port, error);
        if (!sdk) return false;
        GLIMRA_Camera::setSDK(std::move(sdk));
        return true;
    }
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] != "--sim") continue;
        if (i + 1 < args.size() && args[i + 1].rfind("--", 0) != 0 &&
            args[i + 1].find('.') != std::string::npos) {
            if (!SimConfig::fromFile(args[i + 1], config, error)) return false;
            args.erase(args.begin() + static_cast<long>(i) + 1);
        }
        args.erase(args.begin() + static_cast<long>(i));
        break;
    }
    GLIMRA_Camera::setSDK(std::make_shared<SimCamSDK>(config));
    return true;
}

// Runs `work` on a worker thread while this thread runs the main loop.
int withMainLoop(const std::function<int()>& work) {
    ThreadRunLoop loop;
    RunLoop::setMain(&loop);
    GLIMRA_Camera::setMainLoop(&loop);
    std::atomic<int> status{0};
    std::thread worker([&] {
        status = work();
        loop.stop();
    });
    loop.run();
    worker.join();
    std::thread closer([&] {
        GLIMRA_Camera::shutdown();
        loop.stop();
    });
    loop.run();
    closer.join();
    GLIMRA_Camera::setMainLoop(nullptr);
    return status;
}

std::vector<GLIMRA_Camera::Ptr> scan() {
    GLIMRA_Camera::initializeClass();
    GLIMRA_Camera::waitForBackgroundThreads();
    for (int i = 0; i < 100; ++i) {
        if (auto c = GLIMRA_Camera::cameras()) return *c;
        std::this_thread::yield();
    }
    return {};
}

const Command camerasCommand{
    "cameras", "list the connected still cameras",
    "usage: klikctl cameras [--sim [FILE] | --camera gphoto2 [--port PORT]]\n"
    "Lists each detected camera: description and sub-type (0: older camera).\n"
    "PORT: a PTP/IP address HOST:PORT (numeric IPv4) or a libgphoto2 port.",
    [](const Args& in) {
        Args args = in;
        std::string error;
        if (!chooseBackend(args, error)) {
            std::cerr << "klikctl cameras: " << error << "\n";
            return 1;
        }
        if (!args.empty()) return usageError(camerasCommand, "unexpected argument " + args[0]);
        return withMainLoop([] {
            auto list = scan();
            if (list.empty()) std::cout << "no cameras\n";
            for (const auto& c : list)
                std::cout << c->description() << " (type " << c->subType() << ")\n";
            return 0;
        });
    }};
KLIK_COMMAND(camerasCommand);

const Command cameraCommand{
    "camera", "read properties of or shoot with the first camera",
    "usage: klikctl camera props [--sim [FILE]]\n"
    "       klikctl camera set NAME TEXT [--sim [FILE]]\n"
    "       klikctl camera shoot --out FILE [--sim [FILE]]\n"
    "       klikctl camera liveview --frames N --out DIR [--sim [FILE]]\n"
    "props lists the camera's announced properties; shoot takes a picture and\n"
    "writes the downloaded JPEG to FILE. Every form also takes\n"
    "--camera gphoto2 [--port PORT] instead of --sim.",
    [](const Args& in) {
        Args args = in;
        std::string error;
        if (!chooseBackend(args, error)) {
            std::cerr << "klikctl camera: " << error << "\n";
            return 1;
        }
        if (args.empty()) return usageError(cameraCommand, "missing subcommand");
        std::string sub = args[0], out, name, text;
        int frames = 0;
        size_t first = 1;
        if (sub == "set") {
            if (args.size() < 3) return usageError(cameraCommand, "set needs NAME and TEXT");
            name = args[1];
            text = args[2];
            first = 3;
        }
        for (size_t i = first; i < args.size(); ++i) {
            if (args[i] == "--out" && i + 1 < args.size()) {
                out = args[++i];
            } else if (args[i] == "--frames" && i + 1 < args.size()) {
                try {
                    frames = std::stoi(args[++i]);
                } catch (...) {
                    frames = -1;
                }
                if (frames < 1 || frames > 100000)
                    return usageError(cameraCommand, "--frames needs a count from 1");
            } else {
                return usageError(cameraCommand, "unexpected argument " + args[i]);
            }
        }
        std::uint32_t id = 0;
        if (sub == "set" && !propertyIDForName(name, id))
            return usageError(cameraCommand, "unknown property " + name);
        if (sub == "liveview" && (frames < 1 || out.empty()))
            return usageError(cameraCommand, "liveview needs --frames N and --out DIR");
        if (sub != "props" && sub != "shoot" && sub != "set" && sub != "liveview")
            return usageError(cameraCommand, "unknown " + sub);
        if (sub == "shoot" && out.empty())
            return usageError(cameraCommand, "shoot needs --out FILE");
        return withMainLoop([sub, out, id, text, frames] {
            auto list = scan();
            if (list.empty()) {
                std::cerr << "klikctl camera: no camera found\n";
                return 1;
            }
            auto cam = list[0];
            auto& center = NotificationCenter::defaultCenter();
            std::mutex m;
            std::condition_variable cv;
            Data photo;
            bool done = false;
            auto props =
                center.addObserver(GLIMRA_CameraPropertyDidChange, [&](const Notification& n) {
                    if (sub == "props")
                        std::cout << n.info(GLIMRA_CameraPropertyName).stringOr() << " = "
                                  << n.info(GLIMRA_CameraProperty).description() << "\n";
                });
            auto pics =
                center.addObserver(GLIMRA_CameraPhotoDataAvailable, [&](const Notification& n) {
                    std::lock_guard l(m);
                    if (const Data* d = n.info(GLIMRA_CameraPhotoData).data()) photo = *d;
                    done = true;
                    cv.notify_all();
                });
            auto errs = center.addObserver(GLIMRA_CameraCommandError, [&](const Notification&) {
                std::lock_guard l(m);
                done = true;
                cv.notify_all();
            });
            int written = 0;
            auto live =
                center.addObserver(GLIMRA_CameraLiveViewImageUpdate, [&](const Notification& n) {
                    const OpaqueObject* o = n.info(GLIMRA_CameraLiveViewImage).object();
                    if (!o || written >= frames) return;
                    auto* img = static_cast<const QZNSImageFlipped*>(o->ptr);
                    char file[64];
                    std::snprintf(file, sizeof file, "/frame_%04d.jpg", written + 1);
                    std::string e = writeFileAtomically(
                        std::string(img->data().begin(), img->data().end()), out + file);
                    std::lock_guard l(m);
                    if (!e.empty()) {
                        std::cerr << "klikctl camera: " << e << "\n";
                        written = frames;
                    } else {
                        ++written;
                    }
                    if (written >= frames) done = true;
                    cv.notify_all();
                });
            int status = 0;
            if (!cam->load()) {
                std::cerr << "klikctl camera: cannot open a session with " << cam->description()
                          << "\n";
                status = 1;
            } else if (sub == "props") {
                // The announcements are posted to this loop, not waited for:
                // wait until it has shown all of them.
                GLIMRA_Camera::mainLoop()->performOnMain([] {}, true);
            } else if (sub == "set") {
                if (cam->setStringValue(text, id)) {
                    std::cout << strForPropertyID(id) << " set to " << text << "\n";
                } else {
                    std::cerr << "klikctl camera: the camera refused " << text << " for "
                              << strForPropertyID(id) << "\n";
                    status = 1;
                }
            } else if (sub == "liveview") {
                cam->liveViewBegin();
                std::unique_lock l(m);
                cv.wait_for(l, std::chrono::seconds(60), [&] { return done; });
                l.unlock();
                cam->liveViewEnd();
                std::cout << "wrote " << written << " frames to " << out << "\n";
                if (written < frames) status = 1;
            } else if (sub == "shoot") {
                cam->takePicture();
                cam->performNextQueuedCameraCommand();
                std::unique_lock l(m);
                cv.wait_for(l, std::chrono::seconds(60), [&] { return done; });
                if (photo.empty()) {
                    std::cerr << "klikctl camera: no picture arrived\n";
                    status = 1;
                } else if (std::string e =
                               writeFileAtomically(std::string(photo.begin(), photo.end()), out);
                           !e.empty()) {
                    std::cerr << "klikctl camera: " << e << "\n";
                    status = 1;
                } else {
                    std::cout << "wrote " << photo.size() << " bytes to " << out << "\n";
                }
            }
            center.removeObserver(props);
            center.removeObserver(pics);
            center.removeObserver(errs);
            center.removeObserver(live);
            return status;
        });
    }};
KLIK_COMMAND(cameraCommand);

}  // namespace

}  // namespace klik::tools
