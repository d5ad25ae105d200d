#include "aObjClass.h"

namespace {

const CLSID kClsidGroupObject = {
    0xD5738C60, 0x104E, 0x11D4, {0x9E, 0xEB, 0x00, 0x10, 0x4B, 0x04, 0xB8, 0x07}};
const IID kEventsGroupObject = {
    0xD5738C40, 0x104E, 0x11D4, {0x9E, 0xEB, 0x00, 0x10, 0x4B, 0x04, 0xB8, 0x07}};
const IID kPrivateGroupObject = {
    0xC0BC2649, 0x1049, 0x11D4, {0x9E, 0xEB, 0x00, 0x10, 0x4B, 0x04, 0xB8, 0x07}};
const CLSID kClsidVectorObject = {
    0xD5738C68, 0x104E, 0x11D4, {0x9E, 0xEB, 0x00, 0x10, 0x4B, 0x04, 0xB8, 0x07}};
const IID kEventsVectorObject = {
    0xD5738C48, 0x104E, 0x11D4, {0x9E, 0xEB, 0x00, 0x10, 0x4B, 0x04, 0xB8, 0x07}};
const IID kPrivateVectorObject = {
    0xC0BC2652, 0x1049, 0x11D4, {0x9E, 0xEB, 0x00, 0x10, 0x4B, 0x04, 0xB8, 0x07}};
const CLSID kClsidActiveXObject = {
    0xD5738C6D, 0x104E, 0x11D4, {0x9E, 0xEB, 0x00, 0x10, 0x4B, 0x04, 0xB8, 0x07}};
const IID kEventsActiveXObject = {
    0xD5738C4D, 0x104E, 0x11D4, {0x9E, 0xEB, 0x00, 0x10, 0x4B, 0x04, 0xB8, 0x07}};
const IID kPrivateActiveXObject = {
    0x45BD0741, 0xCA78, 0x11D5, {0x85, 0x58, 0xF8, 0xF4, 0x7C, 0x3F, 0x4C, 0x11}};
const CLSID kClsidTextObject = {
    0xD5738C61, 0x104E, 0x11D4, {0x9E, 0xEB, 0x00, 0x10, 0x4B, 0x04, 0xB8, 0x07}};
const IID kEventsTextObject = {
    0xD5738C41, 0x104E, 0x11D4, {0x9E, 0xEB, 0x00, 0x10, 0x4B, 0x04, 0xB8, 0x07}};
const IID kPrivateTextObject = {
    0xC0BC2651, 0x1049, 0x11D4, {0x9E, 0xEB, 0x00, 0x10, 0x4B, 0x04, 0xB8, 0x07}};
const CLSID kClsidRTFObject = {
    0xD5738C62, 0x104E, 0x11D4, {0x9E, 0xEB, 0x00, 0x10, 0x4B, 0x04, 0xB8, 0x07}};
const IID kEventsRTFObject = {
    0xD5738C42, 0x104E, 0x11D4, {0x9E, 0xEB, 0x00, 0x10, 0x4B, 0x04, 0xB8, 0x07}};
const IID kPrivateRTFObject = {
    0xC0BC264E, 0x1049, 0x11D4, {0x9E, 0xEB, 0x00, 0x10, 0x4B, 0x04, 0xB8, 0x07}};
const CLSID kClsidPictureObject = {
    0xD5738C63, 0x104E, 0x11D4, {0x9E, 0xEB, 0x00, 0x10, 0x4B, 0x04, 0xB8, 0x07}};
const IID kEventsPictureObject = {
    0xD5738C43, 0x104E, 0x11D4, {0x9E, 0xEB, 0x00, 0x10, 0x4B, 0x04, 0xB8, 0x07}};
const IID kPrivatePictureObject = {
    0xC0BC264D, 0x1049, 0x11D4, {0x9E, 0xEB, 0x00, 0x10, 0x4B, 0x04, 0xB8, 0x07}};
const CLSID kClsidSoundObject = {
    0xD5738C65, 0x104E, 0x11D4, {0x9E, 0xEB, 0x00, 0x10, 0x4B, 0x04, 0xB8, 0x07}};
const IID kEventsSoundObject = {
    0xD5738C45, 0x104E, 0x11D4, {0x9E, 0xEB, 0x00, 0x10, 0x4B, 0x04, 0xB8, 0x07}};
const IID kPrivateSoundObject = {
    0xC0BC2650, 0x1049, 0x11D4, {0x9E, 0xEB, 0x00, 0x10, 0x4B, 0x04, 0xB8, 0x07}};
const CLSID kClsidMovieObject = {
    0xD5738C67, 0x104E, 0x11D4, {0x9E, 0xEB, 0x00, 0x10, 0x4B, 0x04, 0xB8, 0x07}};
const IID kEventsMovieObject = {
    0xD5738C47, 0x104E, 0x11D4, {0x9E, 0xEB, 0x00, 0x10, 0x4B, 0x04, 0xB8, 0x07}};
const IID kPrivateMovieObject = {
    0xC0BC264B, 0x1049, 0x11D4, {0x9E, 0xEB, 0x00, 0x10, 0x4B, 0x04, 0xB8, 0x07}};
const CLSID kClsidVideoObject = {
    0xD5738C66, 0x104E, 0x11D4, {0x9E, 0xEB, 0x00, 0x10, 0x4B, 0x04, 0xB8, 0x07}};
const IID kEventsVideoObject = {
    0xD5738C46, 0x104E, 0x11D4, {0x9E, 0xEB, 0x00, 0x10, 0x4B, 0x04, 0xB8, 0x07}};
const IID kPrivateVideoObject = {
    0xC0BC2653, 0x1049, 0x11D4, {0x9E, 0xEB, 0x00, 0x10, 0x4B, 0x04, 0xB8, 0x07}};
const CLSID kClsidGraphObject = {
    0xD5738C64, 0x104E, 0x11D4, {0x9E, 0xEB, 0x00, 0x10, 0x4B, 0x04, 0xB8, 0x07}};
const IID kEventsGraphObject = {
    0xD5738C44, 0x104E, 0x11D4, {0x9E, 0xEB, 0x00, 0x10, 0x4B, 0x04, 0xB8, 0x07}};
const IID kPrivateGraphObject = {
    0xC0BC2648, 0x1049, 0x11D4, {0x9E, 0xEB, 0x00, 0x10, 0x4B, 0x04, 0xB8, 0x07}};
const CLSID kClsidDrawBoardObject = {
    0xD5738C6C, 0x104E, 0x11D4, {0x9E, 0xEB, 0x00, 0x10, 0x4B, 0x04, 0xB8, 0x07}};
const IID kEventsDrawBoardObject = {
    0xD5738C4C, 0x104E, 0x11D4, {0x9E, 0xEB, 0x00, 0x10, 0x4B, 0x04, 0xB8, 0x07}};
const IID kPrivateDrawBoardObject = {
    0xC0BC2646, 0x1049, 0x11D4, {0x9E, 0xEB, 0x00, 0x10, 0x4B, 0x04, 0xB8, 0x07}};
const CLSID kClsidGridObject = {
    0xD5738C6B, 0x104E, 0x11D4, {0x9E, 0xEB, 0x00, 0x10, 0x4B, 0x04, 0xB8, 0x07}};
const IID kEventsGridObject = {
    0xD5738C4B, 0x104E, 0x11D4, {0x9E, 0xEB, 0x00, 0x10, 0x4B, 0x04, 0xB8, 0x07}};
const IID kPrivateGridObject = {
    0xC0BC2647, 0x1049, 0x11D4, {0x9E, 0xEB, 0x00, 0x10, 0x4B, 0x04, 0xB8, 0x07}};
const CLSID kClsidScrollBarObject = {
    0xD5738C6A, 0x104E, 0x11D4, {0x9E, 0xEB, 0x00, 0x10, 0x4B, 0x04, 0xB8, 0x07}};
const IID kEventsScrollBarObject = {
    0xD5738C4A, 0x104E, 0x11D4, {0x9E, 0xEB, 0x00, 0x10, 0x4B, 0x04, 0xB8, 0x07}};
const IID kPrivateScrollBarObject = {
    0xC0BC264F, 0x1049, 0x11D4, {0x9E, 0xEB, 0x00, 0x10, 0x4B, 0x04, 0xB8, 0x07}};
const CLSID kClsidButtonObject = {
    0xD5738C69, 0x104E, 0x11D4, {0x9E, 0xEB, 0x00, 0x10, 0x4B, 0x04, 0xB8, 0x07}};
const IID kEventsButtonObject = {
    0xD5738C49, 0x104E, 0x11D4, {0x9E, 0xEB, 0x00, 0x10, 0x4B, 0x04, 0xB8, 0x07}};
const IID kPrivateButtonObject = {
    0xC0BC2643, 0x1049, 0x11D4, {0x9E, 0xEB, 0x00, 0x10, 0x4B, 0x04, 0xB8, 0x07}};
const CLSID kClsidMenuObject = {
    0x4FE67C02, 0x1B1A, 0x4C68, {0xB7, 0x95, 0xAB, 0x36, 0xE4, 0x98, 0x68, 0x25}};
const IID kEventsMenuObject = {
    0xD8D63E0A, 0x285D, 0x4F4D, {0x92, 0xB0, 0xF9, 0xAB, 0xF1, 0x85, 0xEC, 0x45}};
const IID kPrivateMenuObject = {
    0x14E97CBE, 0xABFF, 0x43B3, {0xA0, 0xBE, 0x04, 0x5A, 0x4F, 0x1E, 0x31, 0xAC}};
const CLSID kClsidPathAnimate = {
    0xD5738C0C, 0x104E, 0x11D4, {0x9E, 0xEB, 0x00, 0x10, 0x4B, 0x04, 0xB8, 0x07}};
const IID kEventsPathAnimate = {
    0xD5738C0B, 0x104E, 0x11D4, {0x9E, 0xEB, 0x00, 0x10, 0x4B, 0x04, 0xB8, 0x07}};
const IID kPrivatePathAnimate = {
    0xC0BC265D, 0x1049, 0x11D4, {0x9E, 0xEB, 0x00, 0x10, 0x4B, 0x04, 0xB8, 0x07}};

#define ROW(itf, part) \
    { &__uuidof(itf), part }

}  // namespace

const ObjectClassInfo g_objectClasses[OBJCLASS_COUNT] = {
    {"GroupObject",
     &kClsidGroupObject,
     &__uuidof(IGroupDispObj),
     &kEventsGroupObject,
     &kPrivateGroupObject,
     0x00F00000,
     0,
     {{&kPrivateGroupObject, CPART_DISPATCH},
      ROW(IGroupDispObj, CPART_DISPATCH),
      ROW(IDispatch, CPART_DISPATCH),
      ROW(ISupportErrorInfo, CPART_ERRORINFO),
      ROW(IObjectBase, CPART_OBJECTBASE),
      ROW(II_IRender, CPART_RENDER),
      ROW(IObjectEvent, CPART_EVENT),
      ROW(IProvideClassInfo, CPART_CLASSINFO),
      ROW(IGroupChildren, CPART_GROUPCHILDREN),
      ROW(ICursorAbility, CPART_CURSOR),
      ROW(IAbilityContainer, CPART_CONTAINER)}},
    {"VectorObject",
     &kClsidVectorObject,
     &__uuidof(IVectorDispObj),
     &kEventsVectorObject,
     &kPrivateVectorObject,
     0x00030000,
     0,
     {{&kPrivateVectorObject, CPART_DISPATCH},
      ROW(IVectorDispObj, CPART_DISPATCH),
      ROW(IDispatch, CPART_DISPATCH),
      ROW(ISupportErrorInfo, CPART_ERRORINFO),
      ROW(IObjectBase, CPART_OBJECTBASE),
      ROW(II_IRender, CPART_RENDER),
      ROW(IObjectEvent, CPART_EVENT),
      ROW(IProvideClassInfo, CPART_CLASSINFO),
      ROW(IToolTipProp, CPART_TOOLTIP),
      ROW(ICursorAbility, CPART_CURSOR),
      ROW(IAbilityContainer, CPART_CONTAINER)}},
    {"ActiveXObject",
     &kClsidActiveXObject,
     &__uuidof(IActiveXDispObj),
     &kEventsActiveXObject,
     &kPrivateActiveXObject,
     0x03010000,
     0,
     {{&kPrivateActiveXObject, CPART_DISPATCH},
      ROW(IActiveXDispObj, CPART_DISPATCH),
      ROW(IDispatch, CPART_DISPATCH),
      ROW(ISupportErrorInfo, CPART_ERRORINFO),
      ROW(IObjectBase, CPART_OBJECTBASE),
      ROW(II_IRender, CPART_RENDER),
      ROW(IObjectEvent, CPART_EVENT),
      ROW(IProvideClassInfo, CPART_CLASSINFO),
      ROW(IToolTipProp, CPART_TOOLTIP),
      ROW(ICursorAbility, CPART_CURSOR),
      ROW(IAbilityContainer, CPART_CONTAINER)}},
    {"TextObject",
     &kClsidTextObject,
     &__uuidof(ITextDispObj),
     &kEventsTextObject,
     &kPrivateTextObject,
     0x00010000,
     0,
     {{&kPrivateTextObject, CPART_DISPATCH},
      ROW(ITextDispObj, CPART_DISPATCH),
      ROW(IDispatch, CPART_DISPATCH),
      ROW(ISupportErrorInfo, CPART_ERRORINFO),
      ROW(IObjectBase, CPART_OBJECTBASE),
      ROW(II_IRender, CPART_RENDER),
      ROW(IObjectEvent, CPART_EVENT),
      ROW(IProvideClassInfo, CPART_CLASSINFO),
      ROW(IDbLink, CPART_DBLINK),
      ROW(IToolTipProp, CPART_TOOLTIP),
      ROW(ICursorAbility, CPART_CURSOR),
      ROW(IWndMsgHandler, CPART_WNDMSG),
      ROW(IAbilityContainer, CPART_CONTAINER)}},
    {"RTFObject",
     &kClsidRTFObject,
     &__uuidof(IRTFDispObj),
     &kEventsRTFObject,
     &kPrivateRTFObject,
     0x01010000,
     MEDIA_KIND_RTF,
     {{&kPrivateRTFObject, CPART_DISPATCH},
      ROW(IRTFDispObj, CPART_DISPATCH),
      ROW(IDispatch, CPART_DISPATCH),
      ROW(ISupportErrorInfo, CPART_ERRORINFO),
      ROW(IObjectBase, CPART_OBJECTBASE),
      ROW(II_IRender, CPART_RENDER),
      ROW(IObjectEvent, CPART_EVENT),
      ROW(IProvideClassInfo, CPART_CLASSINFO),
      ROW(IDbLink, CPART_DBLINK),
      ROW(IMediaData, CPART_MEDIADATA),
      ROW(IEventSinkTable, CPART_SINKTABLE),
      ROW(IToolTipProp, CPART_TOOLTIP),
      ROW(ICursorAbility, CPART_CURSOR),
      ROW(IAbility, CPART_ABILITY),
      ROW(IAbilityContainer, CPART_CONTAINER)}},
    {"PictureObject",
     &kClsidPictureObject,
     &__uuidof(IPictureDispObj),
     &kEventsPictureObject,
     &kPrivatePictureObject,
     0x01020000,
     MEDIA_KIND_PICTURE,
     {{&kPrivatePictureObject, CPART_DISPATCH},
      ROW(IPictureDispObj, CPART_DISPATCH),
      ROW(IDispatch, CPART_DISPATCH),
      ROW(ISupportErrorInfo, CPART_ERRORINFO),
      ROW(IObjectBase, CPART_OBJECTBASE),
      ROW(II_IRender, CPART_RENDER),
      ROW(IObjectEvent, CPART_EVENT),
      ROW(IProvideClassInfo, CPART_CLASSINFO),
      ROW(IDbLink, CPART_DBLINK),
      ROW(IMediaData, CPART_MEDIADATA),
      ROW(IEventSinkTable, CPART_SINKTABLE),
      ROW(IToolTipProp, CPART_TOOLTIP),
      ROW(ICursorAbility, CPART_CURSOR),
      ROW(IAbilityContainer, CPART_CONTAINER)}},
    {"SoundObject",
     &kClsidSoundObject,
     &__uuidof(ISoundDispObj),
     &kEventsSoundObject,
     &kPrivateSoundObject,
     0x01040000,
     MEDIA_KIND_SOUND,
     {{&kPrivateSoundObject, CPART_DISPATCH},
      ROW(ISoundDispObj, CPART_DISPATCH),
      ROW(IDispatch, CPART_DISPATCH),
      ROW(ISupportErrorInfo, CPART_ERRORINFO),
      ROW(IObjectBase, CPART_OBJECTBASE),
      ROW(II_IRender, CPART_RENDER),
      ROW(IObjectEvent, CPART_EVENT),
      ROW(IProvideClassInfo, CPART_CLASSINFO),
      ROW(IDbLink, CPART_DBLINK),
      ROW(IMediaData, CPART_MEDIADATA),
      ROW(IEventSinkTable, CPART_SINKTABLE),
      ROW(IAbilityContainer, CPART_CONTAINER)}},
    {"MovieObject",
     &kClsidMovieObject,
     &__uuidof(IMovieDispObj),
     &kEventsMovieObject,
     &kPrivateMovieObject,
     0x01060000,
     MEDIA_KIND_MOVIE,
     {{&kPrivateMovieObject, CPART_DISPATCH},
      ROW(IMovieDispObj, CPART_DISPATCH),
      ROW(IDispatch, CPART_DISPATCH),
      ROW(ISupportErrorInfo, CPART_ERRORINFO),
      ROW(IObjectBase, CPART_OBJECTBASE),
      ROW(II_IRender, CPART_RENDER),
      ROW(IObjectEvent, CPART_EVENT),
      ROW(IProvideClassInfo, CPART_CLASSINFO),
      ROW(IAbility, CPART_ABILITY),
      ROW(IDbLink, CPART_DBLINK),
      ROW(IMediaData, CPART_MEDIADATA),
      ROW(IToolTipProp, CPART_TOOLTIP),
      ROW(ICursorAbility, CPART_CURSOR),
      ROW(IEventSinkTable, CPART_SINKTABLE),
      ROW(IAbilityContainer, CPART_CONTAINER)}},
    {"VideoObject",
     &kClsidVideoObject,
     &__uuidof(IVideoDispObj),
     &kEventsVideoObject,
     &kPrivateVideoObject,
     0x01050000,
     MEDIA_KIND_VIDEO,
     {{&kPrivateVideoObject, CPART_DISPATCH},
      ROW(IVideoDispObj, CPART_DISPATCH),
      ROW(IDispatch, CPART_DISPATCH),
      ROW(ISupportErrorInfo, CPART_ERRORINFO),
      ROW(IObjectBase, CPART_OBJECTBASE),
      ROW(II_IRender, CPART_RENDER),
      ROW(IObjectEvent, CPART_EVENT),
      ROW(IProvideClassInfo, CPART_CLASSINFO),
      ROW(IAbility, CPART_ABILITY),
      ROW(IDbLink, CPART_DBLINK),
      ROW(IMediaData, CPART_MEDIADATA),
      ROW(IToolTipProp, CPART_TOOLTIP),
      ROW(ICursorAbility, CPART_CURSOR),
      ROW(IEventSinkTable, CPART_SINKTABLE),
      ROW(IAbilityContainer, CPART_CONTAINER)}},
    {"GraphObject",
     &kClsidGraphObject,
     &__uuidof(IGraphDispObj),
     &kEventsGraphObject,
     &kPrivateGraphObject,
     0x01030000,
     MEDIA_KIND_GRAPH,
     {{&kPrivateGraphObject, CPART_DISPATCH},
      ROW(IGraphDispObj, CPART_DISPATCH),
      ROW(IDispatch, CPART_DISPATCH),
      ROW(ISupportErrorInfo, CPART_ERRORINFO),
      ROW(IObjectBase, CPART_OBJECTBASE),
      ROW(II_IRender, CPART_RENDER),
      ROW(IObjectEvent, CPART_EVENT),
      ROW(IProvideClassInfo, CPART_CLASSINFO),
      ROW(IMediaData, CPART_MEDIADATA),
      ROW(IDbLink, CPART_DBLINK),
      ROW(IToolTipProp, CPART_TOOLTIP),
      ROW(ICursorAbility, CPART_CURSOR),
      ROW(IAbilityContainer, CPART_CONTAINER)}},
    {"DrawBoardObject",
     &kClsidDrawBoardObject,
     &__uuidof(IDrawBoardDispObj),
     &kEventsDrawBoardObject,
     &kPrivateDrawBoardObject,
     0x00040000,
     0,
     {{&kPrivateDrawBoardObject, CPART_DISPATCH},
      ROW(IDrawBoardDispObj, CPART_DISPATCH),
      ROW(IDispatch, CPART_DISPATCH),
      ROW(ISupportErrorInfo, CPART_ERRORINFO),
      ROW(IObjectBase, CPART_OBJECTBASE),
      ROW(II_IRender, CPART_RENDER),
      ROW(IObjectEvent, CPART_EVENT),
      ROW(IProvideClassInfo, CPART_CLASSINFO),
      ROW(IToolTipProp, CPART_TOOLTIP),
      ROW(ICursorAbility, CPART_CURSOR),
      ROW(IAbilityContainer, CPART_CONTAINER)}},
    {"GridObject",
     &kClsidGridObject,
     &__uuidof(IGridDispObj),
     &kEventsGridObject,
     &kPrivateGridObject,
     0x00020000,
     0,
     {{&kPrivateGridObject, CPART_DISPATCH},
      ROW(IGridDispObj, CPART_DISPATCH),
      ROW(IDispatch, CPART_DISPATCH),
      ROW(ISupportErrorInfo, CPART_ERRORINFO),
      ROW(IObjectBase, CPART_OBJECTBASE),
      ROW(II_IRender, CPART_RENDER),
      ROW(IObjectEvent, CPART_EVENT),
      ROW(IProvideClassInfo, CPART_CLASSINFO),
      ROW(IEventSinkTable, CPART_SINKTABLE),
      ROW(IDbLink, CPART_DBLINK),
      ROW(IToolTipProp, CPART_TOOLTIP),
      ROW(ICursorAbility, CPART_CURSOR),
      ROW(IWndMsgHandler, CPART_WNDMSG),
      ROW(IAbilityContainer, CPART_CONTAINER)}},
    {"ScrollBarObject",
     &kClsidScrollBarObject,
     &__uuidof(IScrollBarDispObj),
     &kEventsScrollBarObject,
     &kPrivateScrollBarObject,
     0,
     0,
     {{&kPrivateScrollBarObject, CPART_DISPATCH},
      ROW(IScrollBarDispObj, CPART_DISPATCH),
      ROW(IDispatch, CPART_DISPATCH),
      ROW(ISupportErrorInfo, CPART_ERRORINFO),
      ROW(IObjectBase, CPART_OBJECTBASE),
      ROW(II_IRender, CPART_RENDER),
      ROW(IObjectEvent, CPART_EVENT),
      ROW(IProvideClassInfo, CPART_CLASSINFO),
      ROW(IAbility, CPART_ABILITY),
      ROW(IToolTipProp, CPART_TOOLTIP),
      ROW(ICursorAbility, CPART_CURSOR),
      ROW(IAbilityContainer, CPART_CONTAINER)}},
    {"ButtonObject",
     &kClsidButtonObject,
     &__uuidof(IButtonDispObj),
     &kEventsButtonObject,
     &kPrivateButtonObject,
     0,
     0,
     {{&kPrivateButtonObject, CPART_DISPATCH},
      ROW(IButtonDispObj, CPART_DISPATCH),
      ROW(IDispatch, CPART_DISPATCH),
      ROW(ISupportErrorInfo, CPART_ERRORINFO),
      ROW(IObjectBase, CPART_OBJECTBASE),
      ROW(II_IRender, CPART_RENDER),
      ROW(IObjectEvent, CPART_EVENT),
      ROW(IProvideClassInfo, CPART_CLASSINFO),
      ROW(IToolTipProp, CPART_TOOLTIP),
      ROW(ICursorAbility, CPART_CURSOR),
      ROW(IAbilityContainer, CPART_CONTAINER)}},
    {"MenuObject",
     &kClsidMenuObject,
     &__uuidof(IMenuDispObj),
     &kEventsMenuObject,
     &kPrivateMenuObject,
     0,
     0,
     {{&kPrivateMenuObject, CPART_DISPATCH},
      ROW(IMenuDispObj, CPART_DISPATCH),
      ROW(IDispatch, CPART_DISPATCH),
      ROW(ISupportErrorInfo, CPART_ERRORINFO),
      ROW(IObjectBase, CPART_OBJECTBASE),
      ROW(II_IRender, CPART_RENDER),
      ROW(IObjectEvent, CPART_EVENT),
      ROW(IProvideClassInfo, CPART_CLASSINFO),
      ROW(IToolTipProp, CPART_TOOLTIP),
      ROW(ICursorAbility, CPART_CURSOR),
      ROW(IWndMsgHandler, CPART_WNDMSG),
      ROW(IAbilityContainer, CPART_CONTAINER)}},
    {"PathAnimateAbility",
     &kClsidPathAnimate,
     &__uuidof(IPathAnimateDispAbl),
     &kEventsPathAnimate,
     &kPrivatePathAnimate,
     0xFFFFFFFF,
     0,
     {{&kPrivatePathAnimate, CPART_DISPATCH},
      ROW(IPathAnimateDispAbl, CPART_DISPATCH),
      ROW(IDispatch, CPART_DISPATCH),
      ROW(ISupportErrorInfo, CPART_ERRORINFO),
      ROW(IAbilityCreate, CPART_ABILITYCREATE),
      ROW(IProvideClassInfo, CPART_CLASSINFO),
      ROW(IEventListener, CPART_LISTENER),
      ROW(IAbility, CPART_ABILITY)}},
};

namespace {

const CLSID kClsidSubFixedSliderVert = {
    0xD5738C90, 0x104E, 0x11D4, {0x9E, 0xEB, 0x00, 0x10, 0x4B, 0x04, 0xB8, 0x07}};
const CLSID kClsidSubFixedSliderHorz = {
    0xD5738C91, 0x104E, 0x11D4, {0x9E, 0xEB, 0x00, 0x10, 0x4B, 0x04, 0xB8, 0x07}};
const CLSID kClsidSubScrollVert = {
    0xD5738C92, 0x104E, 0x11D4, {0x9E, 0xEB, 0x00, 0x10, 0x4B, 0x04, 0xB8, 0x07}};
const CLSID kClsidSubScrollHorz = {
    0xD5738C93, 0x104E, 0x11D4, {0x9E, 0xEB, 0x00, 0x10, 0x4B, 0x04, 0xB8, 0x07}};
const CLSID kClsidSubProgressVert = {
    0xD5738C94, 0x104E, 0x11D4, {0x9E, 0xEB, 0x00, 0x10, 0x4B, 0x04, 0xB8, 0x07}};
const CLSID kClsidSubProgressHorz = {
    0xD5738C95, 0x104E, 0x11D4, {0x9E, 0xEB, 0x00, 0x10, 0x4B, 0x04, 0xB8, 0x07}};
const CLSID kClsidSubSliderVert = {
    0xD5738C96, 0x104E, 0x11D4, {0x9E, 0xEB, 0x00, 0x10, 0x4B, 0x04, 0xB8, 0x07}};
const CLSID kClsidSubSliderHorz = {
    0xD5738C97, 0x104E, 0x11D4, {0x9E, 0xEB, 0x00, 0x10, 0x4B, 0x04, 0xB8, 0x07}};
const CLSID kClsidSubPush = {
    0xD5738C80, 0x104E, 0x11D4, {0x9E, 0xEB, 0x00, 0x10, 0x4B, 0x04, 0xB8, 0x07}};
const CLSID kClsidSub2Value = {
    0xD5738C81, 0x104E, 0x11D4, {0x9E, 0xEB, 0x00, 0x10, 0x4B, 0x04, 0xB8, 0x07}};
const CLSID kClsidSub3Value = {
    0xD5738C82, 0x104E, 0x11D4, {0x9E, 0xEB, 0x00, 0x10, 0x4B, 0x04, 0xB8, 0x07}};
const CLSID kClsidSubCheck = {
    0xD5738C83, 0x104E, 0x11D4, {0x9E, 0xEB, 0x00, 0x10, 0x4B, 0x04, 0xB8, 0x07}};
const CLSID kClsidSubRadio = {
    0xD5738C84, 0x104E, 0x11D4, {0x9E, 0xEB, 0x00, 0x10, 0x4B, 0x04, 0xB8, 0x07}};
const CLSID kClsidSubHorizontal = {
    0x62FA0AA1, 0xB0FC, 0x476C, {0xB1, 0xDD, 0xE5, 0xF7, 0xD7, 0xF4, 0x86, 0x2D}};
const CLSID kClsidSubVertical = {
    0xD0B9E93C, 0x4432, 0x44FF, {0xAC, 0x5B, 0xCB, 0x7B, 0x2C, 0xB1, 0xD4, 0xBA}};

}  // namespace

const ObjectClassRegistration g_objectClassRegistrations[] = {
    {&kClsidGroupObject, 0x00F00000, OBJCLASS_GROUP},
    {&kClsidVectorObject, 0x00030000, OBJCLASS_VECTOR},
    {&kClsidActiveXObject, 0x03010000, OBJCLASS_ACTIVEX},
    {&kClsidTextObject, 0x00010000, OBJCLASS_TEXT},
    {&kClsidRTFObject, 0x01010000, OBJCLASS_RTF},
    {&kClsidPictureObject, 0x01020000, OBJCLASS_PICTURE},
    {&kClsidSoundObject, 0x01040000, OBJCLASS_SOUND},
    {&kClsidMovieObject, 0x01060000, OBJCLASS_MOVIE},
    {&kClsidVideoObject, 0x01050000, OBJCLASS_VIDEO},
    {&kClsidGraphObject, 0x01030000, OBJCLASS_GRAPH},
    {&kClsidDrawBoardObject, 0x00040000, OBJCLASS_DRAWBOARD},
    {&kClsidGridObject, 0x00020000, OBJCLASS_GRID},
    {&kClsidSubFixedSliderVert, 0x02010001, OBJCLASS_SCROLLBAR},
    {&kClsidSubFixedSliderHorz, 0x02010101, OBJCLASS_SCROLLBAR},
    {&kClsidSubScrollVert, 0x02010002, OBJCLASS_SCROLLBAR},
    {&kClsidSubScrollHorz, 0x02010102, OBJCLASS_SCROLLBAR},
    {&kClsidSubProgressVert, 0x02010003, OBJCLASS_SCROLLBAR},
    {&kClsidSubProgressHorz, 0x02010103, OBJCLASS_SCROLLBAR},
    {&kClsidSubSliderVert, 0x02010004, OBJCLASS_SCROLLBAR},
    {&kClsidSubSliderHorz, 0x02010104, OBJCLASS_SCROLLBAR},
    {&kClsidSubPush, 0x02020001, OBJCLASS_BUTTON},
    {&kClsidSub2Value, 0x02020002, OBJCLASS_BUTTON},
    {&kClsidSub3Value, 0x02020003, OBJCLASS_BUTTON},
    {&kClsidSubCheck, 0x02020004, OBJCLASS_BUTTON},
    {&kClsidSubRadio, 0x02020005, OBJCLASS_BUTTON},
    {&kClsidSubHorizontal, 0x04010001, OBJCLASS_MENU},
    {&kClsidSubVertical, 0x04010002, OBJCLASS_MENU},
};
const int g_objectClassRegistrationCount =
    (int)(sizeof(g_objectClassRegistrations) / sizeof(g_objectClassRegistrations[0]));

const ClassRow* FindClassRow(const ObjectClassInfo& info, REFIID iid) {
    for (const ClassRow& row : info.rows) {
        if (!row.iid)
            break;
        if (IsEqualIID(*row.iid, iid))
            return &row;
    }
    return nullptr;
}
