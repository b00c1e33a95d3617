#include "app/WovanuApplication.h"

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
