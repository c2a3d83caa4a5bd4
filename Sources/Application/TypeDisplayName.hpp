// typeDisplayName<T>(): a readable name for a C++ type, computed at compile
// time from the type itself, the same on g++ and clang.
//
// The name is the type's declared name without namespaces or enclosing
// classes, with the arguments of a class template written inside angle
// brackets, each argument by its own display name, separated by ", ":
//
//   a::Logger, b::Logger                 "Logger"  (namespaces are dropped)
//   Box<int>, Box<std::string>           "Box<int>", "Box<string>"
//   std::map<std::string, Box<long>>     "map<string, Box<long>>"
//   std::optional<X>                     "Optional<" + X's name + ">"
//   std::shared_ptr<X>                   X's name: a shared pointer is how a
//                                        reference object is held, not part
//                                        of the object's type
//   std::array<X, 3>                     "array<" + X's name + ", 3>"
//   X* (X an object type)                X's name + "*"
//   const X, X&, std::shared_ptr<const X>
//                                        X's name: the qualifiers and
//                                        reference of the type asked about
//                                        are not part of its name; inside
//                                        template arguments and pointees they
//                                        are ("pair<const int, long>",
//                                        "const char*")
//
// Canonical spellings: built-in types are written as C++ writes them
// ("int", "unsigned long", "long long", "double", "bool", "char8_t",
// "nullptr_t", ...); std::string is "string" and std::string_view is
// "string_view"; trailing template arguments that equal their defaults are
// left out ("vector<int>", not "vector<int, allocator<int>>"); nested
// closing brackets have no space (">>"). An alias names the type it stands
// for. Anything else (enumerations, class templates with non-type
// parameters, function types, arrays) is written as the compiler spells it,
// with every namespace and enclosing-class qualifier removed and the
// differences between g++ and clang in spacing and in built-in type names
// evened out ("Fixed<long, 3>", "int(*)(double)"). Closure types of lambdas
// have no stable name.
//
// Thread safety: a compile-time constant; the returned view refers to static
// storage and stays valid for the life of the program.
//
//   static_assert(orvane::typeDisplayName<std::optional<Box<std::string>>>() ==
//                 "Optional<Box<string>>");
#pragma once

#include <array>
#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <tuple>
#include <type_traits>
#include <utility>

#if !defined(__GNUC__) && !defined(__clang__)
#error "typeDisplayName needs __PRETTY_FUNCTION__ (g++ or clang)"
#endif

namespace orvane {

namespace detail::display {

// Counts the characters of a name, and writes them when given a buffer. The
// same writer runs twice: once to size the storage, once to fill it.
struct NameSink {
    char* out = nullptr;
    std::size_t size = 0;

    constexpr void put(char c) {
        if (out != nullptr) {
            out[size] = c;
        }
        ++size;
    }
    constexpr void put(std::string_view text) {
        for (char c : text) {
            put(c);
        }
    }
};

// The compiler's own spelling of T, or of a template's name. Both compilers
// print the signature followed by "[with T = <type>]" (g++) or
// "[T = <type>]" (clang); the return type is a plain pointer so that g++
// appends no typedef explanations after the type.
template <class T>
constexpr const char* prettyFunction() {
    return __PRETTY_FUNCTION__;
}

template <template <class...> class T>
constexpr const char* prettyTemplateFunction() {
    return __PRETTY_FUNCTION__;
}

constexpr std::string_view spelledName(std::string_view pretty) {
    constexpr std::string_view marker = "T = ";
    const std::size_t start = pretty.find(marker) + marker.size();
    const std::size_t end = pretty.rfind(']');
    return pretty.substr(start, end - start);
}

constexpr bool opensGroup(char c) {
    return c == '<' || c == '(' || c == '[' || c == '{';
}

constexpr bool closesGroup(char c) {
    return c == '>' || c == ')' || c == ']' || c == '}';
}

// The end of the name component starting at `from`: the first ' ', ',' or
// ':' outside brackets, or an unmatched closing bracket.
constexpr std::size_t endOfComponent(std::string_view text, std::size_t from) {
    int depth = 0;
    std::size_t at = from;
    for (; at < text.size(); ++at) {
        const char c = text[at];
        if (opensGroup(c)) {
            ++depth;
        } else if (closesGroup(c)) {
            if (depth == 0) {
                break;
            }
            --depth;
        } else if (depth == 0 && (c == ' ' || c == ',' || c == ':')) {
            break;
        }
    }
    return at;
}

// Skips every qualifier ("ns::", "Outer<int>::", "{anonymous}::",
// "(anonymous namespace)::", "main()::") that starts at `from`.
constexpr std::size_t skipQualifiers(std::string_view text, std::size_t from) {
    for (;;) {
        const std::size_t end = endOfComponent(text, from);
        if (end == from || text.substr(end, 2) != "::") {
            return from;
        }
        from = end + 2;
    }
}

constexpr bool isIdentifierCharacter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
}

// g++ spells some built-in types differently from clang, which writes them
// as C++ source usually does; longest first.
inline constexpr std::pair<std::string_view, std::string_view> gccSpellings[] = {
    {"long long unsigned int", "unsigned long long"},
    {"long unsigned int", "unsigned long"},
    {"short unsigned int", "unsigned short"},
    {"long long int", "long long"},
    {"long int", "long"},
    {"short int", "short"},
};

// The length of the g++ spelling at `from`, if one stands there as a whole
// word, and the spelling to write instead.
constexpr std::pair<std::size_t, std::string_view> gccSpellingAt(std::string_view text, std::size_t from) {
    for (const auto& [gcc, canonical] : gccSpellings) {
        const std::size_t end = from + gcc.size();
        if (text.substr(from, gcc.size()) == gcc &&
            (end == text.size() || !isIdentifierCharacter(text[end]))) {
            return {gcc.size(), canonical};
        }
    }
    return {0, {}};
}

// Writes a compiler spelling with its qualifiers removed and the two
// compilers' differences ("Box<int> >", "int [3]", "int (double)",
// "long int") evened out.
constexpr void putUnqualified(NameSink& sink, std::string_view spelled) {
    bool atNameStart = true;
    for (std::size_t at = 0; at < spelled.size();) {
        if (atNameStart) {
            at = skipQualifiers(spelled, at);
            atNameStart = false;
            if (at >= spelled.size()) {
                break;
            }
            if (const auto [length, canonical] = gccSpellingAt(spelled, at); length > 0) {
                sink.put(canonical);
                at += length;
                continue;
            }
        }
        const char c = spelled[at];
        const char next = at + 1 < spelled.size() ? spelled[at + 1] : '\0';
        if (c == ' ' && (next == '>' || next == '[' || next == '(')) {
            ++at;
            continue;
        }
        sink.put(c);
        atNameStart = opensGroup(c) || c == ',' || c == ' ';
        ++at;
    }
}

// The names of the built-in types; empty for every other type.
template <class T>
inline constexpr std::string_view builtinName{};
template <>
inline constexpr std::string_view builtinName<bool> = "bool";
template <>
inline constexpr std::string_view builtinName<char> = "char";
template <>
inline constexpr std::string_view builtinName<signed char> = "signed char";
template <>
inline constexpr std::string_view builtinName<unsigned char> = "unsigned char";
template <>
inline constexpr std::string_view builtinName<wchar_t> = "wchar_t";
template <>
inline constexpr std::string_view builtinName<char8_t> = "char8_t";
template <>
inline constexpr std::string_view builtinName<char16_t> = "char16_t";
template <>
inline constexpr std::string_view builtinName<char32_t> = "char32_t";
template <>
inline constexpr std::string_view builtinName<short> = "short";
template <>
inline constexpr std::string_view builtinName<unsigned short> = "unsigned short";
template <>
inline constexpr std::string_view builtinName<int> = "int";
template <>
inline constexpr std::string_view builtinName<unsigned int> = "unsigned int";
template <>
inline constexpr std::string_view builtinName<long> = "long";
template <>
inline constexpr std::string_view builtinName<unsigned long> = "unsigned long";
template <>
inline constexpr std::string_view builtinName<long long> = "long long";
template <>
inline constexpr std::string_view builtinName<unsigned long long> = "unsigned long long";
template <>
inline constexpr std::string_view builtinName<float> = "float";
template <>
inline constexpr std::string_view builtinName<double> = "double";
template <>
inline constexpr std::string_view builtinName<long double> = "long double";
template <>
inline constexpr std::string_view builtinName<void> = "void";
template <>
inline constexpr std::string_view builtinName<std::nullptr_t> = "nullptr_t";

template <class T>
struct NameWriter;

// The name of the type asked about, and of a shared pointer's object:
// qualifiers and references are dropped.
template <class T>
constexpr void putTopLevelName(NameSink& sink) {
    NameWriter<std::remove_cvref_t<T>>::write(sink);
}

// The name of a template argument or a pointee, which keeps its qualifiers
// and reference.
template <class T>
constexpr void putName(NameSink& sink) {
    using Bare = std::remove_reference_t<T>;
    if constexpr (std::is_const_v<Bare>) {
        sink.put("const ");
    }
    if constexpr (std::is_volatile_v<Bare>) {
        sink.put("volatile ");
    }
    NameWriter<std::remove_cv_t<Bare>>::write(sink);
    if constexpr (std::is_lvalue_reference_v<T>) {
        sink.put('&');
    } else if constexpr (std::is_rvalue_reference_v<T>) {
        sink.put("&&");
    }
}

constexpr void putNumber(NameSink& sink, std::size_t value) {
    char digits[20] = {};
    std::size_t count = 0;
    do {
        digits[count++] = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value != 0);
    while (count > 0) {
        sink.put(digits[--count]);
    }
}

// Built-in types by their table; object pointers by their pointee; anything
// else, which no specialisation below matches, by the compiler's spelling.
template <class T>
struct NameWriter {
    static constexpr void write(NameSink& sink) {
        if constexpr (!builtinName<T>.empty()) {
            sink.put(builtinName<T>);
        } else if constexpr (std::is_pointer_v<T> && std::is_object_v<std::remove_pointer_t<T>>) {
            putName<std::remove_pointer_t<T>>(sink);
            sink.put('*');
        } else {
            putUnqualified(sink, spelledName(prettyFunction<T>()));
        }
    }
};

// PrefixOf<Template, tuple<A...>, index_sequence<0..n-1>>::type is
// Template<A0..An-1>, when that names a type.
template <template <class...> class Template, class Tuple, class Indices>
struct PrefixOf {
    static constexpr bool valid = false;
};

template <template <class...> class Template, class Tuple, std::size_t... I>
requires requires {
    typename Template<std::tuple_element_t<I, Tuple>...>;
}
struct PrefixOf<Template, Tuple, std::index_sequence<I...>> {
    static constexpr bool valid = true;
    using type = Template<std::tuple_element_t<I, Tuple>...>;
};

// Whether the first Count arguments name the same type as all of them: the
// ones after Count are then the template's defaults.
template <template <class...> class Template, std::size_t Count, class... Arguments>
constexpr bool prefixNamesSameType() {
    using Prefix = PrefixOf<Template, std::tuple<Arguments...>, std::make_index_sequence<Count>>;
    if constexpr (Prefix::valid) {
        return std::is_same_v<typename Prefix::type, Template<Arguments...>>;
    } else {
        return false;
    }
}

// The number of leading arguments to show: the fewest that name the type.
template <template <class...> class Template, class... Arguments, std::size_t... Dropped>
constexpr std::size_t shownArgumentCount(std::index_sequence<Dropped...>) {
    constexpr std::size_t all = sizeof...(Arguments);
    std::size_t shown = all;
    // Longest prefix first, so the last match is the shortest.
    ((prefixNamesSameType<Template, all - Dropped, Arguments...>() ? void(shown = all - Dropped) : void()),
     ...);
    return shown;
}

template <class Argument>
constexpr void putArgument(NameSink& sink, std::size_t index, std::size_t shown) {
    if (index >= shown) {
        return;
    }
    if (index > 0) {
        sink.put(", ");
    }
    putName<Argument>(sink);
}

template <class... Arguments, std::size_t... I>
constexpr void putArguments([[maybe_unused]] NameSink& sink, [[maybe_unused]] std::size_t shown,
                            std::index_sequence<I...>) {
    (putArgument<Arguments>(sink, I, shown), ...);
}

// A class template whose parameters are all types.
template <template <class...> class Template, class... Arguments>
struct NameWriter<Template<Arguments...>> {
    static constexpr void write(NameSink& sink) {
        constexpr std::size_t shown =
            shownArgumentCount<Template, Arguments...>(std::make_index_sequence<sizeof...(Arguments) + 1>{});
        putUnqualified(sink, spelledName(prettyTemplateFunction<Template>()));
        sink.put('<');
        putArguments<Arguments...>(sink, shown, std::index_sequence_for<Arguments...>{});
        sink.put('>');
    }
};

template <>
struct NameWriter<std::string> {
    static constexpr void write(NameSink& sink) { sink.put("string"); }
};

template <>
struct NameWriter<std::string_view> {
    static constexpr void write(NameSink& sink) { sink.put("string_view"); }
};

template <class T>
struct NameWriter<std::optional<T>> {
    static constexpr void write(NameSink& sink) {
        sink.put("Optional<");
        putName<T>(sink);
        sink.put('>');
    }
};

template <class T>
struct NameWriter<std::shared_ptr<T>> {
    static constexpr void write(NameSink& sink) { putTopLevelName<T>(sink); }
};

template <class T, std::size_t N>
struct NameWriter<std::array<T, N>> {
    static constexpr void write(NameSink& sink) {
        sink.put("array<");
        putName<T>(sink);
        sink.put(", ");
        putNumber(sink, N);
        sink.put('>');
    }
};

template <class T>
constexpr std::size_t nameLength() {
    NameSink sink;
    putTopLevelName<T>(sink);
    return sink.size;
}

template <class T>
struct NameStorage {
    static constexpr std::size_t size = nameLength<T>();
    static constexpr std::array<char, size + 1> chars = [] {
        std::array<char, size + 1> buffer{};
        NameSink sink{buffer.data()};
        putTopLevelName<T>(sink);
        return buffer;
    }();
};

}  // namespace detail::display

// typeDisplayName<T>(): T's display name, as described above.
template <class T>
constexpr std::string_view typeDisplayName() noexcept {
    using Storage = detail::display::NameStorage<std::remove_cvref_t<T>>;
    return {Storage::chars.data(), Storage::size};
}

}  // namespace orvane
