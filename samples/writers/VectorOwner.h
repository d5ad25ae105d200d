// A frame owner for vector figures drawn outside a page: the figures'
// points are relative to a centre the caller places; the owner's rectangle,
// turn and answers are plain fields.
#pragma once

#include <windows.h>

#include "aVecFrm.h"

class CentredOwner : public IVecFrameOwner, public IMetaEnv {
public:
    POINT centre = {0, 0};
    RECT rect = {0, 0, 0, 0};
    int degree = 0;
    BOOL ignoreUnfilled = FALSE;
    HRESULT hitAnswer = S_FALSE;

    void ToOwnerPoints(POINT* p, int n) override {
        for (int i = 0; i < n; ++i) {
            p[i].x += centre.x;
            p[i].y += centre.y;
        }
    }
    void FromOwnerPoints(POINT* p, int n) override {
        for (int i = 0; i < n; ++i) {
            p[i].x -= centre.x;
            p[i].y -= centre.y;
        }
    }
    HRESULT OwnerHitTest(POINT) override { return hitAnswer; }
    HRESULT GetOwnerRect(RECT* r) override {
        *r = rect;
        return S_OK;
    }
    HRESULT GetOwnerCenter(POINT* c) override {
        *c = centre;
        return S_OK;
    }
    int GetOwnerDegree() override { return degree; }
    CMetaEnv* GetOwnerEnv() override { return nullptr; }
    IMetaEnv* GetMetaEnv() override { return this; }
    IPlayerSite* GetPlaySite() override { return nullptr; }
    BOOL IgnoresUnfilledArea() override { return ignoreUnfilled; }
    void GetEditState(MetaEditState* s) override { *s = MetaEditState{FALSE, 0, degree}; }
    BOOL GetMediaFolder(char*, size_t) override { return FALSE; }
};
