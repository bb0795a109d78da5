#include "identity.h"

#include "check.h"

enum { UNKNOWN, MORVANE, DISPATCH, SUPPORT_ERROR_INFO, MARSHAL, RAW, VIEWS };

static const char *const view_names[VIEWS] = {"IUnknown", "IMorvane", "IDispatch", "ISupportErrorInfo",
                                              "IMarshal", "_IMorvane"};

void check_identity(IMorvane *t)
{
    const IID *const iids[VIEWS] = {&IID_IUnknown, &IID_IMorvane, &IID_IDispatch, &IID_ISupportErrorInfo,
                                    &IID_IMarshal, &IID__IMorvane};
    IUnknown *views[VIEWS] = {NULL};
    IUnknown *other = (IUnknown *)(void *)0x1;
    ISupportErrorInfo *support;
    IMorvane *back = NULL;
    ULONG count;

    for (int i = 0; i < VIEWS; ++i) {
        HRESULT hr = t->lpVtbl->QueryInterface(t, iids[i], (void **)&views[i]);
        if (!check(hr == S_OK && views[i] != NULL, "querying %s gave 0x%08X", view_names[i], (unsigned)hr))
            views[i] = NULL;
    }
    /* The dual interface answers for IUnknown and IDispatch: one pointer for all three. */
    check(views[UNKNOWN] == (IUnknown *)t && views[MORVANE] == (IUnknown *)t &&
              views[DISPATCH] == (IUnknown *)t,
          "IUnknown, IMorvane and IDispatch are not the same pointer");
    check(views[SUPPORT_ERROR_INFO] != (IUnknown *)t && views[RAW] != (IUnknown *)t,
          "ISupportErrorInfo or _IMorvane is the identity pointer itself");
    for (int i = 0; i < VIEWS; ++i) {
        if (views[i] == NULL)
            continue;
        IUnknown *identity = NULL;
        check(views[i]->lpVtbl->QueryInterface(views[i], &IID_IUnknown, (void **)&identity) == S_OK &&
                  identity == (IUnknown *)t,
              "%s reports another identity", view_names[i]);
        if (identity)
            identity->lpVtbl->Release(identity);
    }

    /* Every held reference counts on the one object: the caller's, six views, this one. */
    count = t->lpVtbl->AddRef(t);
    check(count == 8, "AddRef after six queries gave %lu, expected 8", (unsigned long)count);
    t->lpVtbl->Release(t);

    support = (ISupportErrorInfo *)(void *)views[SUPPORT_ERROR_INFO];
    if (support) {
        check_hr(support->lpVtbl->InterfaceSupportsErrorInfo(support, &IID_IMorvane), S_OK,
                 "InterfaceSupportsErrorInfo(IMorvane)");
        check_hr(support->lpVtbl->InterfaceSupportsErrorInfo(support, &IID__IMorvane), S_OK,
                 "InterfaceSupportsErrorInfo(_IMorvane)");
        check_hr(support->lpVtbl->InterfaceSupportsErrorInfo(support, &IID_IDispatch), S_FALSE,
                 "InterfaceSupportsErrorInfo(IDispatch)");
    }
    if (views[RAW]) {
        check(views[RAW]->lpVtbl->QueryInterface(views[RAW], &IID_IMorvane, (void **)&back) == S_OK &&
                  back == t,
              "_IMorvane does not lead back to IMorvane");
        if (back)
            back->lpVtbl->Release(back);
    }
    check_hr(t->lpVtbl->QueryInterface(t, &IID_IClassFactory, (void **)&other), E_NOINTERFACE,
             "querying IClassFactory");
    check(other == NULL, "a refused query left a pointer behind");

    for (int i = VIEWS - 1; i >= 0; --i)
        if (views[i])
            views[i]->lpVtbl->Release(views[i]);
    /* The caller's reference is the last one. */
    count = t->lpVtbl->AddRef(t);
    check(count == 2, "AddRef after releasing the views gave %lu, expected 2", (unsigned long)count);
    t->lpVtbl->Release(t);
}
