package forms;

/** Java 25: an instance main without parameters. */
class Instance {
    void main() {
        System.out.println("instance main of " + getClass().getName());
    }
}
