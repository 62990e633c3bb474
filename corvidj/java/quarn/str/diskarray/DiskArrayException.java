package quarn.str.diskarray;

// A failure of the array-management library or of the bridge, with its code.
public class DiskArrayException extends Exception {
  private static final long serialVersionUID = 1L;
  private final int code;

  public DiskArrayException(int code) {
    super(String.format("0x%08x", code));
    this.code = code;
  }

  public int getCode() {
    return code;
  }
}
