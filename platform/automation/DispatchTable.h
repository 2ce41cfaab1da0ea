#pragma once
// IDispatch of a dual interface, served from a table of the class's members:
// each entry names a member, its DISPID and the interface methods behind it.
//
//   class CRSSItem final : public plat::ComObject<plat::DispatchImpl<IRSSItem, CRSSItem>> {
//   public:
//       static std::span<const plat::DispatchEntry<CRSSItem>> dispatch_table();
//   };
//   plat::dispatch_property<&CRSSItem::get_title, &CRSSItem::put_title>(u"title", 1)
//   plat::dispatch_method<&CRSSChannel::GetRSSItem>(u"GetRSSItem", 30)
//
// A method's last parameter is its return value when it is an out pointer
// (BSTR*, LONG*, an interface's I**); a VARIANT* return value is asked for with
// Retval::Yes. Arguments arrive last first, as Invoke receives them. Names
// are matched without ASCII case, as dispatch names are.

#include "platform/automation/Dispatch.h"
#include "platform/com/ComPtr.h"

#include <new>
#include <span>
#include <string_view>
#include <tuple>
#include <type_traits>
#include <utility>

namespace plat {

template <class T>
struct DispatchEntry {
    std::u16string_view name;
    DISPID id;
    HRESULT (*get)(T&, DISPPARAMS&, VARIANT*, UINT*);    // property get; null for none
    HRESULT (*put)(T&, DISPPARAMS&, VARIANT*, UINT*);    // property put; null for none
    HRESULT (*call)(T&, DISPPARAMS&, VARIANT*, UINT*);   // method; null for none
};

enum class Retval { Deduce, Yes, No };

namespace dispatch_detail {

template <class A>
struct InArg;

template <>
struct InArg<BSTR> {
    Variant converted;
    BSTR value{nullptr};
    HRESULT load(VARIANT& v)
    {
        if (v.vt == VT_BSTR) {
            value = v.bstrVal;
            return S_OK;
        }
        HRESULT hr = VariantChangeType(converted.get(), &v, 0, VT_BSTR);
        value = converted->bstrVal;
        return hr;
    }
    BSTR arg() const { return value; }
};

template <class N, VARTYPE VT>
struct NumberArg {
    N value{};
    HRESULT load(VARIANT& v)
    {
        Variant converted;
        HRESULT hr = VariantChangeType(converted.get(), &v, 0, VT);
        if constexpr (VT == VT_I4) value = converted->lVal;
        else if constexpr (VT == VT_UI4) value = converted->ulVal;
        else value = converted->iVal;
        return hr;
    }
    N arg() const { return value; }
};
// SHORT carries VARIANT_BOOL too: a true VT_BOOL converts to VARIANT_TRUE.
template <> struct InArg<LONG> : NumberArg<LONG, VT_I4> {};
template <> struct InArg<ULONG> : NumberArg<ULONG, VT_UI4> {};
template <> struct InArg<SHORT> : NumberArg<SHORT, VT_I2> {};

template <>
struct InArg<VARIANT*> {
    VARIANT* value{nullptr};
    HRESULT load(VARIANT& v)
    {
        value = v.vt == (VT_BYREF | VT_VARIANT) ? v.pvarVal : &v;
        return value ? S_OK : E_INVALIDARG;
    }
    VARIANT* arg() const { return value; }
};

template <class I>
    requires std::is_base_of_v<IUnknown, I>
struct InArg<I*> {
    ComPtr<I> value;
    HRESULT load(VARIANT& v)
    {
        VARIANT* p = v.vt == (VT_BYREF | VT_VARIANT) ? v.pvarVal : &v;
        if (p->vt == VT_EMPTY || p->vt == VT_NULL)
            return S_OK;
        if ((p->vt != VT_DISPATCH && p->vt != VT_UNKNOWN))
            return DISP_E_TYPEMISMATCH;
        if (!p->punkVal)
            return S_OK;
        return SUCCEEDED(p->punkVal->QueryInterface(I::iid, value.put_void())) ? S_OK : DISP_E_TYPEMISMATCH;
    }
    I* arg() const { return value.get(); }
};

template <class A>
struct OutArg;

template <>
struct OutArg<BSTR*> {
    Bstr value;
    BSTR* arg() { return value.out(); }
    void store(VARIANT& result) { result.vt = VT_BSTR; result.bstrVal = value.detach(); }
};

template <>
struct OutArg<LONG*> {
    LONG value{0};
    LONG* arg() { return &value; }
    void store(VARIANT& result) { result.vt = VT_I4; result.lVal = value; }
};

// VARIANT_BOOL* (a SHORT*) returns a boolean.
template <>
struct OutArg<SHORT*> {
    SHORT value{VARIANT_FALSE};
    SHORT* arg() { return &value; }
    void store(VARIANT& result) { result.vt = VT_BOOL; result.boolVal = value ? VARIANT_TRUE : VARIANT_FALSE; }
};

template <>
struct OutArg<VARIANT*> {
    Variant value;
    VARIANT* arg() { return value.get(); }
    void store(VARIANT& result) { result = *value.get(); VariantInit(value.get()); }
};

template <class I>
    requires std::is_base_of_v<IUnknown, I>
struct OutArg<I**> {
    ComPtr<I> value;
    I** arg() { return value.put(); }
    void store(VARIANT& result)
    {
        result.vt = std::is_base_of_v<IDispatch, I> ? VT_DISPATCH : VT_UNKNOWN;
        result.punkVal = value.detach();
    }
};

// Inline, the specializations too (they are not implicitly so): each file that
// includes this header would define them otherwise, and the link fails.
template <class A>
inline constexpr bool is_out_pointer = std::is_pointer_v<A> && std::is_pointer_v<std::remove_pointer_t<A>>;
template <>
inline constexpr bool is_out_pointer<LONG*> = true;
template <>
inline constexpr bool is_out_pointer<SHORT*> = true;

template <class... A>
struct LastOf { using type = void; };
template <class A0, class... A>
struct LastOf<A0, A...> { using type = std::tuple_element_t<sizeof...(A), std::tuple<A0, A...>>; };

template <class M>
struct MemberTraits;
template <class C, class... A>
struct MemberTraits<HRESULT (C::*)(A...)> { using Class = C; using Args = std::tuple<A...>; };
template <class C, class... A>
struct MemberTraits<HRESULT (C::*)(A...) noexcept> { using Class = C; using Args = std::tuple<A...>; };

template <class A, bool In>
using Slot = std::conditional_t<In, InArg<A>, OutArg<A>>;

template <auto M, Retval R, class T, class... A, std::size_t... I>
HRESULT call(T& object, DISPPARAMS& params, VARIANT* result, UINT* arg_error, std::tuple<A...>*,
             std::index_sequence<I...>)
{
    constexpr std::size_t total = sizeof...(A);
    using Last = typename LastOf<A...>::type;
    constexpr bool retval = total > 0 && (R == Retval::Yes || (R == Retval::Deduce && is_out_pointer<Last>));
    constexpr std::size_t ins = retval ? total - 1 : total;
    if (params.cArgs != ins)
        return DISP_E_BADPARAMCOUNT;

    std::tuple<Slot<A, (I < ins)>...> slots;
    HRESULT hr = S_OK;
    auto load = [&]<std::size_t K>(std::integral_constant<std::size_t, K>) {
        if constexpr (K < ins) {
            if (SUCCEEDED(hr)) {
                hr = std::get<K>(slots).load(params.rgvarg[ins - 1 - K]);
                if (FAILED(hr) && arg_error)
                    *arg_error = static_cast<UINT>(ins - 1 - K);
            }
        }
    };
    (load(std::integral_constant<std::size_t, I>{}), ...);
    (void)load;   // unused for a method without parameters
    if (FAILED(hr))
        return hr;
    hr = (object.*M)(std::get<I>(slots).arg()...);
    if constexpr (retval) {
        if (SUCCEEDED(hr) && result)
            std::get<total - 1>(slots).store(*result);
    }
    return hr;
}

template <auto M, Retval R, class T>
HRESULT invoke(T& object, DISPPARAMS& params, VARIANT* result, UINT* arg_error)
{
    using Args = typename MemberTraits<decltype(M)>::Args;
    return call<M, R>(object, params, result, arg_error, static_cast<Args*>(nullptr),
                      std::make_index_sequence<std::tuple_size_v<Args>>{});
}

template <auto M>
using ClassOf = typename MemberTraits<decltype(M)>::Class;

bool same_name(std::u16string_view a, const WCHAR* b);

}

// A property with a get and a put (the put takes one argument).
template <auto Get, auto Put, class T = dispatch_detail::ClassOf<Get>>
constexpr DispatchEntry<T> dispatch_property(std::u16string_view name, DISPID id)
{
    return {name, id, &dispatch_detail::invoke<Get, Retval::Deduce, T>, &dispatch_detail::invoke<Put, Retval::No, T>,
            nullptr};
}

template <auto M, Retval R = Retval::Deduce, class T = dispatch_detail::ClassOf<M>>
constexpr DispatchEntry<T> dispatch_method(std::u16string_view name, DISPID id)
{
    return {name, id, nullptr, nullptr, &dispatch_detail::invoke<M, R, T>};
}

// The IDispatch part of a dual interface: Derived supplies dispatch_table().
template <class Interface, class Derived>
class DispatchImpl : public Interface {
public:
    HRESULT GetTypeInfoCount(UINT* count) noexcept override { return no_type_info_count(count); }
    HRESULT GetTypeInfo(UINT, LCID, ITypeInfo** info) noexcept override { return no_type_info(info); }
    HRESULT GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) noexcept override
    {
        if (!names || !ids)
            return E_POINTER;
        HRESULT hr = S_OK;
        for (UINT i = 0; i < count; ++i) {
            const auto* entry = i == 0 ? find(names[i]) : nullptr;   // named arguments are not offered
            ids[i] = entry ? entry->id : DISPID_UNKNOWN;
            if (!entry)
                hr = DISP_E_UNKNOWNNAME;
        }
        return hr;
    }
    HRESULT Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result, EXCEPINFO*,
                   UINT* arg_error) noexcept override
    try {
        const DispatchEntry<Derived>* entry = find(id);
        if (!entry)
            return DISP_E_MEMBERNOTFOUND;
        DISPPARAMS none{};
        DISPPARAMS& p = params ? *params : none;
        if (p.cArgs > 0 && !p.rgvarg)
            return E_INVALIDARG;
        if (result)
            VariantInit(result);
        Derived& self = static_cast<Derived&>(*this);
        if (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) {
            if (!entry->put)
                return DISP_E_MEMBERNOTFOUND;
            if (p.cNamedArgs != 1 || !p.rgdispidNamedArgs || p.rgdispidNamedArgs[0] != DISPID_PROPERTYPUT)
                return DISP_E_PARAMNOTFOUND;
            return entry->put(self, p, nullptr, arg_error);
        }
        if (p.cNamedArgs != 0)
            return DISP_E_NONAMEDARGS;
        if ((flags & DISPATCH_METHOD) && entry->call)
            return entry->call(self, p, result, arg_error);
        if ((flags & (DISPATCH_PROPERTYGET | DISPATCH_METHOD)) && entry->get)
            return entry->get(self, p, result, arg_error);
        return DISP_E_MEMBERNOTFOUND;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }

private:
    static const DispatchEntry<Derived>* find(DISPID id)
    {
        for (const auto& entry : Derived::dispatch_table())
            if (entry.id == id)
                return &entry;
        return nullptr;
    }
    static const DispatchEntry<Derived>* find(const WCHAR* name)
    {
        if (!name)
            return nullptr;
        for (const auto& entry : Derived::dispatch_table())
            if (dispatch_detail::same_name(entry.name, name))
                return &entry;
        return nullptr;
    }
};

}
