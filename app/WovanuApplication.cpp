#include "app/WovanuApplication.h"

#include <QThreadPool>

#include "app/Analytics.h"
#include "app/AppDelegate.h"
#include "app/MainScreenIcons.h"
#include "app/NamedImageCache.h"
#include "app/Sound.h"
#include "app/WVMainViewController.h"
#include "app/WVMainWindow.h"
#include "app/WVWindowController.h"
#include "app/artwork/Artwork.h"
#include "engine/Model.h"
#include "platform/ui/Application.h"
#include "platform/ui/View.h"
#include "storage/LocalizedWindows.h"

namespace wv {

WovanuApplication::WovanuApplication() = default;

WovanuApplication::~WovanuApplication() {
    auto& application = Application::shared();
    application.willTerminate = nullptr;
    if (mainViewController_) LocalizedWindows::shared().remove(mainViewController_.get());
    if (windowController_ && application.mainWindow() == windowController_->window())
        application.setMainWindow(nullptr);
    if (windowController_ && windowController_->window())
        windowController_->window()->onWillClose = nullptr;
}

void WovanuApplication::launch() {
    // Qt's raster engine hands a tall blend under a clip of several rectangles (a key's
    // repaint) to the global thread pool in slices and waits for them. Waking a core per slice
    // for a few thousand pixels costs more than it saves, most of all on a busy or
    // battery-run machine (a key press took five times as long on a loaded one), and every
    // woken thread stays around idle. One thread keeps such blends in order; nothing of the
    // application itself uses the pool.
    QThreadPool::globalInstance()->setMaxThreadCount(1);
    Artwork::registerAll();
    registerMainScreenIcons();
    cacheNamedImages();
    ModelServices hubServices = services;
    hubServices.analytics = Analytics::sdk();
    Model::setSharedServices(std::move(hubServices));

    auto& application = Application::shared();
    delegate_ = std::make_unique<AppDelegate>();
    delegate_->applicationWillFinishLaunching();
    delegate_->buildMainMenu(application.mainMenu());
    application.willTerminate = [this] { terminate(); };

    windowController_ = std::make_unique<WVWindowController>(std::make_unique<WVMainWindow>());
    Window* window = windowController_->window();
    application.setMainWindow(window);
    window->setMenu(&application.mainMenu());

    mainViewController_ = std::make_shared<WVMainViewController>();
    mainViewController_->windowController_ = windowController_.get();
    window->setContentViewController(mainViewController_);
    plugErrorSound(model().textLine().sound, std::make_shared<Sound>());
    windowController_->windowDidLoad();
    LocalizedWindows::shared().add(mainViewController_.get());

    mainViewController_->viewWillAppear();
    window->makeKeyAndOrderFront();
    window->makeFirstResponder(mainViewController_->view());
    mainViewController_->viewDidAppear();
    window->onWillClose = [this] {
        if (delegate_->applicationShouldTerminateAfterLastWindowClosed())
            Application::shared().terminate();
    };

    delegate_->applicationDidFinishLaunching();
}

void WovanuApplication::terminate() { delegate_->applicationWillTerminate(); }

}  // namespace wv
