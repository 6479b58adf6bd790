// Binds Texture as class "image": methods, properties and the adopted result of "loadImage".
#include "image_binding.h"

#include <luabind/adopt_policy.hpp>
#include <luabind/luabind.hpp>
#include <luabind/detail/class_rep.hpp>
#include <luabind/make_function.hpp>

#include "texture.h"

namespace {

Texture* loadImage(const char* path) {
    Texture* image = new Texture;
    image->load(path);
    return image;
}

typedef void (Texture::*PairMethod)(float, float);
typedef void (Texture::*SingleMethod)(float);

int returnFirstUpvalue(lua_State* L) {
    lua_pushvalue(L, lua_upvalueindex(1));
    return 1;
}

}  // namespace

luabind::scope imageClassBinding() {
    using luabind::class_;
    return class_<Texture>("image")
        .def(luabind::constructor<>())
        .def("load", &Texture::load)
        .def("draw", &Texture::draw)
        .def("useGlobalMatrix", &Texture::useGlobalMatrix)
        .def("useOwnMatrix", &Texture::useOwnMatrix)
        .def("useAutomaticMatrix", &Texture::useAutomaticMatrix)
        .def("reset", &Texture::reset)
        .def("move", &Texture::move)
        .def("scale", static_cast<PairMethod>(&Texture::scale))
        .def("scale", static_cast<SingleMethod>(&Texture::scale))
        .def("rotate", &Texture::rotate)
        .def("setPosition", &Texture::setPosition)
        .def("setScale", static_cast<PairMethod>(&Texture::setScale))
        .def("setScale", static_cast<SingleMethod>(&Texture::setScale))
        .def("setRotation", &Texture::setRotation)
        .property("x", &Texture::getX, &Texture::setX)
        .property("y", &Texture::getY, &Texture::setY)
        .property("scale", &Texture::getScale, &Texture::setScaleProperty)
        .property("scalex", &Texture::getScaleX, &Texture::setScaleX)
        .property("scaley", &Texture::getScaleY, &Texture::setScaleY)
        .property("rotation", &Texture::getRotation, &Texture::setRotationProperty);
}

luabind::scope loadImageBinding() {
    return luabind::def("loadImage", &loadImage, luabind::adopt(luabind::result));
}

// A method as the class registration would make it, with the image as first argument.
template <class Method>
luabind::object imageMethod(lua_State* L, Method method) {
    return luabind::make_function(L, method, luabind::detail::deduce_signature(method, static_cast<Texture*>(nullptr)),
                                  luabind::detail::null_type());
}

// The binding library lets the property "scale", registered last, replace the method of
// that name. Scripts rely on img:scale(s) and img:scale(sx, sy), and on assignment
// reaching the property, so "scale" becomes a property whose read yields the method.
void completeImageClass(lua_State* L) {
    luabind::object overloads = luabind::newtable(L);
    luabind::detail::add_overload(overloads, "scale", imageMethod(L, static_cast<PairMethod>(&Texture::scale)));
    luabind::detail::add_overload(overloads, "scale", imageMethod(L, static_cast<SingleMethod>(&Texture::scale)));

    luabind::object method = overloads["scale"];

    lua_getfield(L, LUA_GLOBALSINDEX, "image");
    auto* imageClass = static_cast<luabind::detail::class_rep*>(lua_touserdata(L, -1));
    imageClass->get_table(L);
    luabind::object members(luabind::from_stack(L, -1));
    lua_getfield(L, -1, "scale");  // the property, with getter and setter as upvalues
    lua_getupvalue(L, -1, 2);
    luabind::object setter(luabind::from_stack(L, -1));
    method.push(L);
    lua_pushcclosure(L, returnFirstUpvalue, 1);
    luabind::object getter(luabind::from_stack(L, -1));
    lua_pop(L, 5);

    members["scale"] = luabind::property(getter, setter);
}
