#include "app/AppDelegate.h"

#include "app/Analytics.h"
#include "app/MainStoryboard.h"
#include "engine/FakeStatistics.h"
#include "engine/Model.h"
#include "languages/LangData.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/ui/Application.h"
#include "platform/ui/Menu.h"
#include "platform/ui/MenuItem.h"
#include "platform/ui/View.h"
#include "platform/ui/ViewController.h"
#include "platform/ui/Window.h"
#include "storage/FS.h"
#include "storage/Local.h"
#include "storage/LocalizedWindows.h"

namespace wv {

namespace {

std::string printedValue(const plist::Value& value);

std::string printedArray(const plist::Array& array) {
    std::string out = "[";
    for (size_t i = 0; i < array.size(); ++i) out += (i ? ", " : "") + printedValue(array[i]);
    return out + "]";
}

std::string printedValue(const plist::Value& value) {
    if (auto* s = value.get<std::string>()) return "\"" + *s + "\"";
    if (auto* b = value.get<bool>()) return *b ? "1" : "0";
    if (auto* i = value.get<int64_t>()) return std::to_string(*i);
    if (auto* d = value.get<double>()) return std::to_string(*d);
    if (auto* a = value.get<plist::Array>()) return printedArray(*a);
    if (auto* dict = value.get<plist::Dictionary>()) return printedForm(*dict);
    return "<data>";
}

MenuItem* addItem(Menu& menu, std::shared_ptr<MenuItem> item) {
    MenuItem* raw = item.get();
    menu.addItem(std::move(item));
    return raw;
}

}  // namespace

std::string printedForm(const plist::Dictionary& dictionary) {
    if (dictionary.empty()) return "[:]";
    std::string out = "[";
    bool first = true;
    for (const auto& [key, value] : dictionary) {
        out += (first ? "\"" : ", \"") + key + "\": " + printedValue(value);
        first = false;
    }
    return out + "]";
}

AppDelegate::AppDelegate() { LocalizedWindows::shared().setApplicationDelegate(this); }

void AppDelegate::showAbout() {
    if (!aboutWindow_) {
        auto controller = MainStoryboard::shared().instantiateController("aboutController");
        if (!controller) return;
        View* content = controller->view();
        auto window = std::make_unique<Window>(Rect(Point{0, 0}, content->frame().size));
        window->setTitle("Wovanu Typing");
        window->setTitlebarAppearsTransparent(true);
        window->setMovableByWindowBackground(true);
        window->setContentViewController(std::move(controller));
        aboutWindow_ = std::move(window);
    }
    aboutWindow_->makeKeyAndOrderFront();
}

AppDelegate::~AppDelegate() {
    if (LocalizedWindows::shared().applicationDelegate() == this)
        LocalizedWindows::shared().setApplicationDelegate(nullptr);
}

void AppDelegate::buildMainMenu(Menu& mainMenu) {
    auto appMenu = std::make_shared<Menu>("Wovanu Typing");
    menuItemAbout = addItem(*appMenu, std::make_shared<MenuItem>("About", [this] { showAbout(); }));
    appMenu->addItem(MenuItem::separator());

    auto languages = std::make_shared<Menu>("Interface language");
    menuItemLangSystem =
        addItem(*languages, std::make_shared<MenuItem>("System", [this] { setUILangSystem(); }));
    menuItemLangLearning = addItem(
        *languages, std::make_shared<MenuItem>("Learning", [this] { setUILangLearning(); }));
    auto languagesItem = std::make_shared<MenuItem>("Interface language");
    languagesItem->setSubmenu(languages);
    menuItemLangIterface = addItem(*appMenu, languagesItem);

    auto updater = std::make_shared<SUUpdater>();
    menuItemUpdates = addItem(*appMenu, std::make_shared<MenuItem>("Check for Updates", [updater] {
        updater->checkForUpdates();
    }));
    menuItemFeedback =
        addItem(*appMenu, std::make_shared<MenuItem>("Feedback", [this] { showFeedbackDialog(); }));
    menuItemBottomSeparator = addItem(*appMenu, MenuItem::separator());
    menuItemQuit = addItem(*appMenu, std::make_shared<MenuItem>(
                                         "Quit", [] { Application::shared().terminate(); }, "q"));
    auto appItem = std::make_shared<MenuItem>("Wovanu Typing");
    appItem->setSubmenu(appMenu);
    mainMenu.addItem(appItem);

    auto debug = std::make_shared<Menu>("Debug");
    debug->addItem(std::make_shared<MenuItem>("Test Crash", [this] { dbgTestCrash(); }));
    debug->addItem(std::make_shared<MenuItem>("Test Exception", [this] { dbgTestException(); }));
    debug->addItem(std::make_shared<MenuItem>("Print All Lesson Samples",
                                              [this] { dbgPrintAllLessonSample(); }));
    debug->addItem(std::make_shared<MenuItem>("Fake Statistics", [this] { fakeStatistics(); }));
    menuItemFakeFillText = addItem(*debug, std::make_shared<MenuItem>("Fake Fill Text"));
    menuItemDbgKeys = addItem(*debug, std::make_shared<MenuItem>("Debug Keys"));
    debug->addItem(std::make_shared<MenuItem>("Dump Unused Localisation Keys"));
    debug->addItem(std::make_shared<MenuItem>("Localisation Debug Keys"));
    debug->addItem(std::make_shared<MenuItem>("Delete Statistics"));
    auto debugItem = std::make_shared<MenuItem>("Debug");
    debugItem->setSubmenu(debug);
    menuItemDebug = addItem(mainMenu, debugItem);
}

void AppDelegate::applicationWillFinishLaunching() { Analytics::startAnalytics(); }

void AppDelegate::applicationDidFinishLaunching() {
    Log::print("file://" + FS::appSupportURL().string() + "/");
    if (menuItemDebug) menuItemDebug->setHidden(true);
    Model& hub = model();
    setLanguageCheckMarks(hub.config().sameLangOfUIAndTyping());
    for (MenuItem* item : {menuItemUpdates, menuItemFeedback, menuItemBottomSeparator})
        if (item) item->setHidden(true);
    localizeMenuItems();
}

void AppDelegate::applicationWillTerminate() {
    model().saveConfig();
    Analytics::sdk()->applicationWillTerminate();
}

void AppDelegate::didReceiveRemoteNotification(const plist::Dictionary& userInfo) {
    Log::print("PUSH NOTIFICATION userInfo : " + printedForm(userInfo));
    model().cloud().fetchChanges();
}

void AppDelegate::setLanguageCheckMarks(bool followsLearningLanguage) {
    if (menuItemLangSystem) menuItemLangSystem->setState(followsLearningLanguage ? 0 : 1);
    if (menuItemLangLearning) menuItemLangLearning->setState(followsLearningLanguage ? 1 : 0);
}

void AppDelegate::setUILangSystem() {
    Config& config = model().config();
    config.setSameLangOfUIAndTyping(false);
    config.notifyChange(ConfigUpdate::Normal);
    Local::switchToSystemLanguage();
    setLanguageCheckMarks(false);
    NotificationCenter::defaultCenter().post(std::string(kCurrentLocaleDidChangeNotification));
}

void AppDelegate::setUILangLearning() {
    Config& config = model().config();
    config.setSameLangOfUIAndTyping(true);
    config.notifyChange(ConfigUpdate::Normal);
    Local::shared().setInterfaceLanguage(languageName(config.language()));
    Local::refreshLocalizedWindows();
    setLanguageCheckMarks(true);
    NotificationCenter::defaultCenter().post(std::string(kCurrentLocaleDidChangeNotification));
}

void AppDelegate::localizeMenuItems() {
    auto& local = Local::shared();
    if (menuItemAbout) menuItemAbout->setTitle(local.localize("menuAbout"));
    if (menuItemQuit) menuItemQuit->setTitle(local.localize("menuQuit"));
    if (menuItemLangIterface) menuItemLangIterface->setTitle(local.localize("menuLangInterface"));
    if (menuItemLangSystem) menuItemLangSystem->setTitle(local.localize("menuLangSystem"));
    if (menuItemLangLearning) menuItemLangLearning->setTitle(local.localize("menuLangLearning"));
}

void AppDelegate::showFeedbackDialog() { Log::print("Utils Stub: showFeedbackDialog()"); }

void AppDelegate::dbgTestCrash() {
    if (crashKitCrash) crashKitCrash();
}

void AppDelegate::dbgTestException() {
    if (crashKitThrowException) crashKitThrowException();
}

void AppDelegate::dbgPrintAllLessonSample() {
    Model& hub = model();
    LangData& language = hub.langRoot().getLang(hub.config().language());
    const int64_t saved = language.difficulty();
    for (int64_t difficulty = 0; difficulty <= 6; ++difficulty) {
        language.setDifficulty(difficulty);
        Log::print("Lesson #" + std::to_string(difficulty + 1));
        for (int i = 0; i < 20; ++i) {
            hub.textLine().generateNewLine(language, nullptr);
            Log::print(hub.textLine().text());
        }
    }
    language.setDifficulty(saved);
}

void AppDelegate::fakeStatistics() {
    Model& hub = model();
    generateFakeStatistics(hub.langRoot().getLang(hub.config().language()), hub.stats(), 50, true);
}

void SUUpdater::checkForUpdates() { Log::print("check for updates stub"); }

}  // namespace wv
