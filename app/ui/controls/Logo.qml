import QtQuick

// The product's logo.
Image {
    objectName: "logo_tavren"
    source: Qt.resolvedUrl("icons/logo_tavren.svg")
    sourceSize.width: width
    sourceSize.height: height
}
