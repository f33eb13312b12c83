// Dispatch driven by a type library's description: names to ids, arguments
// converted to the declared types, results to the declared result type, and
// every refusal with its code.
#include <gtest/gtest.h>

#include <stdexcept>

#include "platform/com/dispatch_impl.h"

namespace {

using com::CDispArgs;
using com::CDispResult;

const com::InterfaceInfo& Described() {
    static const com::InterfaceInfo info{
        com::MakeGuid("{11111111-2222-3333-4444-555555555555}"),
        "ITest",
        "",
        com::TYPEFLAG_FDISPATCHABLE,
        {
            {"Join", 7, VT_BSTR, {{"first", VT_BSTR}, {"count", VT_I4}, {"flag", VT_BOOL}}},
            {"Check", 8, VT_BOOL, {}},
            {"Nothing", -552, VT_VOID, {}},
            {"Broken", 9, VT_BSTR, {}},
        },
    };
    return info;
}

class DispatchTest : public ::testing::Test {
protected:
    DispatchTest()
        : m_dispatch(
              &Described(),
              {
                  {7, com::GuardedBody([this](const CDispArgs& a) {
                       m_args = a;
                       return CDispResult::String(a.String(0) + "/" + std::to_string(a.Long(1)) +
                                                  "/" + (a.Bool(2) ? "yes" : "no"));
                   })},
                  {8, com::GuardedBody([](const CDispArgs&) { return CDispResult::Bool(5); })},
                  {-552, com::GuardedBody([this](const CDispArgs&) {
                       ++m_nNothing;
                       return CDispResult();
                   })},
                  {9, com::GuardedBody([](const CDispArgs&) -> CDispResult {
                       throw std::runtime_error("broken");
                   })},
              }) {}

    // Calls Join with the arguments first to last.
    HRESULT Join(std::vector<CComVariant> args, CComVariant* result, UINT* argError = nullptr) {
        std::vector<VARIANT> raw(args.rbegin(), args.rend());
        DISPPARAMS params;
        params.rgvarg = raw.data();
        params.cArgs = static_cast<UINT>(raw.size());
        VARIANT out;
        VariantInit(&out);
        HRESULT hr = m_dispatch.Invoke(7, DISPATCH_METHOD, &params, &out, argError);
        result->Attach(&out);
        return hr;
    }

    com::CDispatchImpl m_dispatch;
    CDispArgs m_args;
    int m_nNothing = 0;
};

TEST_F(DispatchTest, NamesResolveWithoutRegardToCase) {
    std::u16string method = u"jOiN", param = u"FLAG", unknown = u"nope";
    LPOLESTR names[] = {method.data(), param.data(), unknown.data()};
    DISPID ids[3];
    EXPECT_EQ(m_dispatch.GetIDsOfNames(names, 2, ids), S_OK);
    EXPECT_EQ(ids[0], 7);
    EXPECT_EQ(ids[1], 2);  // a parameter's id is its position
    EXPECT_EQ(m_dispatch.GetIDsOfNames(names, 3, ids), DISP_E_UNKNOWNNAME);
    EXPECT_EQ(ids[2], DISPID_UNKNOWN);

    std::u16string about = u"nothing";
    LPOLESTR one[] = {about.data()};
    EXPECT_EQ(m_dispatch.GetIDsOfNames(one, 1, ids), S_OK);
    EXPECT_EQ(ids[0], -552);
    LPOLESTR missing[] = {unknown.data()};
    EXPECT_EQ(m_dispatch.GetIDsOfNames(missing, 1, ids), DISP_E_UNKNOWNNAME);
    EXPECT_EQ(ids[0], DISPID_UNKNOWN);
    // A name that only starts like a member is not that member.
    std::u16string prefix = u"Joi";
    LPOLESTR partial[] = {prefix.data()};
    EXPECT_EQ(m_dispatch.GetIDsOfNames(partial, 1, ids), DISP_E_UNKNOWNNAME);
}

TEST_F(DispatchTest, ArgumentsArriveConvertedAndInOrder) {
    CComVariant result;
    ASSERT_EQ(
        Join({CComVariant(u"课件"), CComVariant(u"12"), CComVariant(std::int32_t{1})}, &result),
        S_OK);
    EXPECT_EQ(m_args.String(0), "课件");
    EXPECT_EQ(m_args.Long(1), 12);
    EXPECT_TRUE(m_args.Bool(2));
    ASSERT_EQ(result.vt, VT_BSTR);
    EXPECT_EQ(std::u16string(com::BstrView(result.bstrVal)), u"课件/12/yes");
}

TEST_F(DispatchTest, RefusedArgumentsNameTheirPosition) {
    CComVariant result;
    UINT argError = 99;
    // "abc" for the long: the second argument, index 1 in the reversed array.
    EXPECT_EQ(Join({CComVariant(u"x"), CComVariant(u"abc"), CComVariant(true)}, &result, &argError),
              DISP_E_TYPEMISMATCH);
    EXPECT_EQ(argError, 1u);
    EXPECT_EQ(Join({CComVariant(u"x"), CComVariant(u"99999999999"), CComVariant(true)}, &result,
                   &argError),
              DISP_E_OVERFLOW);
    // A string the system cannot hold: the first argument, last in the array.
    EXPECT_EQ(Join({CComVariant(u"\u0E01"), CComVariant(std::int32_t{1}), CComVariant(true)},
                   &result, &argError),
              DISP_E_TYPEMISMATCH);
    EXPECT_EQ(argError, 2u);
    EXPECT_EQ(Join({CComVariant(u"x")}, &result), DISP_E_BADPARAMCOUNT);
    EXPECT_EQ(result.vt, VT_EMPTY);
}

TEST_F(DispatchTest, ResultsTakeTheDeclaredType) {
    DISPPARAMS none;
    VARIANT out;
    VariantInit(&out);
    ASSERT_EQ(m_dispatch.Invoke(8, DISPATCH_METHOD | DISPATCH_PROPERTYGET, &none, &out, nullptr),
              S_OK);
    EXPECT_EQ(out.vt, VT_BOOL);
    EXPECT_EQ(out.boolVal, VARIANT_TRUE);  // the system's 5 is true, as -1

    ASSERT_EQ(m_dispatch.Invoke(-552, DISPATCH_METHOD, &none, &out, nullptr), S_OK);
    EXPECT_EQ(out.vt, VT_EMPTY);
    EXPECT_EQ(m_nNothing, 1);
    // No result wanted: the body still runs.
    ASSERT_EQ(m_dispatch.Invoke(-552, DISPATCH_METHOD, nullptr, nullptr, nullptr), S_OK);
    EXPECT_EQ(m_nNothing, 2);
}

TEST_F(DispatchTest, WhatIsNotAMethodCallIsRefused) {
    DISPPARAMS none;
    VARIANT out;
    VariantInit(&out);
    EXPECT_EQ(m_dispatch.Invoke(8, DISPATCH_PROPERTYPUT, &none, &out, nullptr),
              DISP_E_MEMBERNOTFOUND);
    EXPECT_EQ(m_dispatch.Invoke(8, DISPATCH_PROPERTYGET, &none, &out, nullptr),
              DISP_E_MEMBERNOTFOUND);
    EXPECT_EQ(m_dispatch.Invoke(1234, DISPATCH_METHOD, &none, &out, nullptr),
              DISP_E_MEMBERNOTFOUND);
    DISPID named = 0;
    CComVariant arg(u"x");
    DISPPARAMS withName;
    withName.rgvarg = &arg;
    withName.cArgs = 1;
    withName.rgdispidNamedArgs = &named;
    withName.cNamedArgs = 1;
    EXPECT_EQ(m_dispatch.Invoke(7, DISPATCH_METHOD, &withName, &out, nullptr), DISP_E_NONAMEDARGS);
    DISPPARAMS lying;
    lying.cArgs = 3;  // arguments announced, none given
    EXPECT_EQ(m_dispatch.Invoke(7, DISPATCH_METHOD, &lying, &out, nullptr), E_INVALIDARG);
}

TEST_F(DispatchTest, AnExceptionInABodyBecomesACode) {
    DISPPARAMS none;
    VARIANT out;
    VariantInit(&out);
    EXPECT_EQ(m_dispatch.Invoke(9, DISPATCH_METHOD, &none, &out, nullptr), E_UNEXPECTED);
    EXPECT_EQ(out.vt, VT_EMPTY);
}

}  // namespace
