module app {
}
