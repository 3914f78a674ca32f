# A cross build finds only the target's packages, but CLI11, nlohmann/json,
# Boost and RapidXml are headers alone and serve any target. They are taken
# from the host through a folder in the build tree that holds just their
# folders, since the host's /usr/include as a whole would shadow the
# target's own headers.
set(KIT_HOST_HEADERS ${PROJECT_BINARY_DIR}/host-headers)
foreach(package CLI11 nlohmann_json Boost RapidXml)
    if(package STREQUAL CLI11)
        set(header CLI/CLI.hpp)
        set(target CLI11::CLI11)
    elseif(package STREQUAL Boost)
        set(header boost/crc.hpp)
        set(target Boost::headers)
    elseif(package STREQUAL RapidXml)
        set(header rapidxml/rapidxml.hpp)
        set(target RapidXml::RapidXml)
    else()
        set(header nlohmann/json.hpp)
        set(target nlohmann_json::nlohmann_json)
    endif()
    if(${package}_FOUND)
        continue()
    endif()
    find_path(KIT_HOST_${package}_ROOT ${header} NO_CMAKE_FIND_ROOT_PATH)
    if(NOT KIT_HOST_${package}_ROOT)
        continue()
    endif()
    get_filename_component(folder ${header} DIRECTORY)
    file(MAKE_DIRECTORY ${KIT_HOST_HEADERS})
    file(CREATE_LINK ${KIT_HOST_${package}_ROOT}/${folder} ${KIT_HOST_HEADERS}/${folder}
         COPY_ON_ERROR SYMBOLIC)
    add_library(${target} INTERFACE IMPORTED)
    set_target_properties(${target} PROPERTIES
        INTERFACE_INCLUDE_DIRECTORIES ${KIT_HOST_HEADERS})
    set(${package}_FOUND ON)
endforeach()
