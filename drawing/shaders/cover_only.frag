void main() {
    if (!litMarker()) {
        discard;
    }
}
