package quarn.str.diskarray;

// LogicalUnit whose failAt-th construction fails.
public class LogicalUnit {
  public static int failAt = -1;
  public static int made;

  public int lun;
  public int rg_no;
  public int capacity;
  public int ctl;
  public int status;
  public int stripe;
  public String label;

  public LogicalUnit() {
    if (++made == failAt) throw new IllegalStateException("LogicalUnit " + made);
  }
}
