// orvane-demo: a short tour of the library, printed as it goes.
#include "Application/ArgumentsFetcher.hpp"
#include "Application/ProcessArgumentsProvider.hpp"
#include "Application/ServiceContainer.hpp"
#include "Concurrency/Observable.hpp"
#include "Concurrency/ServiceTimer.hpp"
#include "Concurrency/ThrottledRunner.hpp"
#include "Core/AnyError.hpp"
#include "Core/AsyncStep.hpp"
#include "Core/Empty.hpp"
#include "Core/ExceptionUtils.hpp"
#include "Core/Flatten.hpp"
#include "Core/Result.hpp"
#include "Platform/Dispatch/DispatchQueue.hpp"
#include "Platform/Dispatch/MainLoop.hpp"
#include "Platform/Foundation/NSError.hpp"
#include "Platform/Foundation/NSException.hpp"
#include "Platform/Archive/NSKeyedArchiver.hpp"
#include "Platform/Archive/NSKeyedUnarchiver.hpp"
#include "Platform/Text/PangoMarkup.hpp"
#include "Presentation/AttributedStringFromHTML.hpp"

#include <chrono>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

namespace {

using orvane::NSError;
using orvane::Object;
using Number = orvane::Result<int, NSError>;

void section(const char* title) {
    std::cout << "\n== " << title << "\n";
}

void results() {
    section("Results");
    const orvane::AsyncStep<int, NSError> doubleIt = [](int value, auto completion) {
        completion(Number::success(value * 2));
    };
    const orvane::AsyncStep<int, NSError> refuseLarge = [](int value, auto completion) {
        completion(value > 10 ? Number::failure(NSError("com.orvane.demo", 1)) : Number::success(value));
    };
    for (int input : {3, 6}) {
        (doubleIt >> refuseLarge)(input, [input](Number result) {
            std::cout << input << " doubled then checked: "
                      << (result.isSuccess() ? "success " + std::to_string(*result.valueIf())
                                             : "failure " + result.errorIf()->localizedDescription())
                      << "\n";
        });
    }

    const auto nested = orvane::Result<Number, NSError>::success(Number::failure(NSError("inner", 7)));
    const auto flat = orvane::flatten(nested);
    std::cout << "flatten(success(failure(inner 7))): failure with domain \"" << flat.errorIf()->domain()
              << "\", code " << flat.errorIf()->code() << "\n";

    const auto dictionary = Number::success(42).rawValue();
    std::cout << "success(42) as a dictionary: " << Object(dictionary).description() << "\n";
    std::cout << "and back: " << *Number::fromRawValue(dictionary)->valueIf() << "\n";
}

void archives() {
    section("Keyed archives");
    const auto empty = orvane::NSKeyedArchiver::archivedData(Object(std::make_shared<orvane::Empty>()));
    std::cout << "Empty archives to " << empty->size() << " bytes (a binary property list)\n";
    const auto decoded = orvane::NSKeyedUnarchiver::unarchivedObject<orvane::Empty>(*empty);
    std::cout << "and decodes back to an Empty: " << (decoded ? "yes" : "no") << "\n";

    const Object settings(orvane::ObjectDictionary{{"retries", 3}, {"name", "vault"}, {"ratio", 0.5}});
    const auto archive = orvane::NSKeyedArchiver::archivedData(settings);
    std::cout << "a dictionary round trip: "
              << orvane::NSKeyedUnarchiver::unarchiveObject(*archive)->description() << "\n";
    const orvane::Data garbage(std::string_view("bplist00 but not really"));
    std::cout << "garbage decodes to nothing: "
              << (orvane::NSKeyedUnarchiver::unarchiveObject(garbage) ? "no" : "yes") << "\n";
}

void errors() {
    section("Errors");
    const orvane::AnyError wrapped(
        NSError("com.orvane.demo", 3,
                {{std::string(orvane::NSLocalizedDescriptionKey), "The vault is locked."},
                 {std::string(orvane::NSLocalizedFailureReasonErrorKey), "No key."}}));
    const NSError bridged(wrapped);
    std::cout << "NSError(error:) of an AnyError: domain \"" << bridged.domain() << "\", code "
              << bridged.code() << ", user info " << Object(bridged.userInfo()).description() << "\n";

    orvane::ExceptionUtils::attemptOperation(
        [] { throw orvane::NSException("NSRangeException", "index 9 beyond bounds"); },
        [](const orvane::NSException& exception) {
            std::cout << "caught platform exception: " << exception.what() << "\n";
        });
}

struct Greeter {
    virtual ~Greeter() = default;
    virtual std::string greet() const = 0;
};
struct EnglishGreeter : Greeter {
    std::string greet() const override { return "Hello"; }
};
struct Settings {
    std::string theme;
};

void application() {
    section("Services and the command line");
    orvane::ServiceContainer services;
    services.add<std::shared_ptr<Greeter>>(std::make_shared<EnglishGreeter>());
    services.add(Settings{"dark"});
    services.add(Settings{"light"});  // ignored: the first registration stands
    std::cout << (*services.get<std::shared_ptr<Greeter>>())->greet() << ", theme "
              << services.get<Settings>()->theme << "\n";

    orvane::ArgumentsFetcher arguments(std::make_shared<orvane::ProcessArgumentsProvider>());
    std::cout << std::boolalpha << "--verbose given: " << arguments.contains("--verbose")
              << ", --mode: " << arguments.retrieveValue("--mode").value_or("(none)")
              << ", mode is fast: " << arguments.contains("--mode", "fast") << "\n";
}

void concurrency() {
    using namespace std::chrono_literals;
    section("Work on the main loop");
    // A burst of five searches 20 ms apart, debounced by 100 ms: only the last runs.
    auto debouncer = orvane::ThrottledRunner::create();
    std::string searched;
    int searches = 0;
    for (std::string text : {"p", "pa", "pas", "pass", "passw"}) {
        debouncer->runIgnoringPendingBlocksAfterDelay(
            0.1,
            [&, text] {
                searched = text;
                ++searches;
            },
            orvane::DispatchQueue::main());
        orvane::MainLoop::runFor(20ms);
    }
    orvane::MainLoop::runUntil([&] { return !searched.empty(); }, 2s);
    std::cout << "debounced search ran " << searches << " time(s), for \"" << searched << "\"\n";

    auto lockState = orvane::Observable<bool>::create();
    bool delivered = false;
    lockState->observe([&](const bool& locked) { delivered = locked; });
    lockState->fire(true);
    orvane::MainLoop::runUntil([&] { return delivered; }, 2s);
    std::cout << "observer saw the vault lock: " << std::boolalpha << delivered << "\n";

    auto heartbeat = orvane::ServiceTimer::create(0.05, "Heartbeat");
    int beats = 0;
    heartbeat->setCallback([&] { std::cout << "  " << heartbeat->name() << " " << ++beats << "\n"; });
    heartbeat->start();
    orvane::MainLoop::runUntil([&] { return beats == 3; }, 2s);
    heartbeat->stop();
}

}  // namespace

void styledText() {
    section("HTML styled text");
    using Property = orvane::CSSRule::Property;
    const std::vector<orvane::CSSRule> css = {
        orvane::CSSRule::p({Property::fontFamily("Cantarell"), Property::fontSize(11), Property::fontColor("#333")}),
        orvane::CSSRule::em({Property::fontStyle(Property::FontStyle::normal)})};
    const std::string fragment = "Saved <b>3 passwords</b> to <em>Personal</em>, <s>none</s> lost.";
    std::cout << "document: " << orvane::htmlDocument(fragment, css, "p") << "\n";
    const auto text = orvane::attributedStringFromHTML(fragment, css, "p");
    if (!text) {
        std::cout << "the reader refused it\n";
        return;
    }
    std::cout << "text: " << text->string() << " (" << text->runs().size() << " runs)\n";
    for (const auto& run : text->runs()) {
        const auto& a = run.attributes;
        std::cout << "  \"" << text->string().substr(run.byteOffset, run.byteLength) << "\": " << a.fontFamily << " "
                  << a.fontSize << "pt" << (a.bold ? " bold" : "") << (a.italic ? " italic" : "")
                  << (a.strikethrough ? " strikethrough" : "") << "\n";
    }
    std::cout << "for GTK: " << orvane::pangoMarkup(*text) << "\n";
}

int main() {
    results();
    archives();
    errors();
    application();
    concurrency();
    styledText();
    return 0;
}
