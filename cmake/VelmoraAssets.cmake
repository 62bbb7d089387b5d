# The data that ships beside the program, relative to assets/. The build copies it into the
# binary folder, so the build tree runs in place, and the install lays out the same files.
# (assets/designs/ is compiled into the program as resources; see src/button_xp.)
set(VELMORA_ASSETS_DIR ${PROJECT_SOURCE_DIR}/assets)
set(VELMORA_ASSET_FILES
    WE00
    Image/entries-1431-1436.gif
    Image/entries-1437-1443.jpg
    Image/menu-map.bmp
    Image/readme.txt
    Image/velmora.ico
    resources/background.png
    resources/background@2x.png
    resources/click.wav
    resources/decoration.png
    resources/decoration@2x.png
    resources/velmora.ico
    resources/velmora.png)
set(VELMORA_ASSET_OUTPUTS)
foreach(asset IN LISTS VELMORA_ASSET_FILES)
    set(out ${VELMORA_BIN_DIR}/${asset})
    add_custom_command(OUTPUT ${out}
        COMMAND ${CMAKE_COMMAND} -E copy_if_different ${VELMORA_ASSETS_DIR}/${asset} ${out}
        DEPENDS ${VELMORA_ASSETS_DIR}/${asset} VERBATIM)
    list(APPEND VELMORA_ASSET_OUTPUTS ${out})
endforeach()
add_custom_target(velmora_assets ALL DEPENDS ${VELMORA_ASSET_OUTPUTS})
